pytest_plugins = ["quorvel.pytest_plugin"]
