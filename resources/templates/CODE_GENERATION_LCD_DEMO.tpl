; (being written)
