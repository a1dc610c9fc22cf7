// The extension's whole code: VS Code starts `quorvel-cli --dap` as the
// debug adapter of the "quorvel" debugger type (or, for an attach
// configuration, connects to the desktop simulator's port on 127.0.0.1),
// fills in a launch configuration when there is no launch.json, and sends
// text to the simulated chip's UART through the adapter's "uartInput"
// request.
'use strict';

const vscode = require('vscode');
const fs = require('fs');
const path = require('path');

// The adapter's path: the setting, else quorvel-cli looked up on PATH.
// Undefined (after saying why) when it cannot be found.
function adapterPath() {
  const configured = vscode.workspace.getConfiguration('quorvel').get('cliPath', '').trim();
  if (configured) {
    if (fs.existsSync(configured)) return configured;
    vscode.window.showErrorMessage(`The setting quorvel.cliPath names ${configured}, which does not exist.`);
    return undefined;
  }
  for (const folder of (process.env.PATH || '').split(path.delimiter)) {
    const candidate = path.join(folder, 'quorvel-cli');
    try {
      fs.accessSync(candidate, fs.constants.X_OK);
      return candidate;
    } catch (_) {
      // not in this folder
    }
  }
  vscode.window.showErrorMessage(
    'quorvel-cli is not on PATH: install the simulator or set quorvel.cliPath to the program.');
  return undefined;
}

class AdapterFactory {
  createDebugAdapterDescriptor(session) {
    // Attach: the simulator serves the protocol on its port itself.
    if (session.configuration.request === 'attach') return new vscode.DebugAdapterServer(session.configuration.port, '127.0.0.1');
    const program = adapterPath();
    return program ? new vscode.DebugAdapterExecutable(program, ['--dap']) : undefined;
  }
}

// F5 without a launch.json: the program built from the open C or assembler
// file, the .ihx or .hex of the same name beside it.
class ConfigurationProvider {
  resolveDebugConfiguration(folder, config) {
    if (!config.type && !config.request && !config.name) {
      const editor = vscode.window.activeTextEditor;
      if (editor && ['c', 'asm51', 'asm'].includes(editor.document.languageId)) {
        const file = editor.document.fileName;
        const base = file.slice(0, file.length - path.extname(file).length);
        const program = ['.ihx', '.hex'].map(ext => base + ext).find(p => fs.existsSync(p));
        if (program) Object.assign(config, { type: 'quorvel', request: 'launch', name: 'Debug 8051 program', program, stopOnEntry: true });
      }
    }
    if (config.request === 'attach') {
      if (Number.isInteger(config.port) && config.port > 0 && config.port < 65536) return config;
      vscode.window.showErrorMessage('The attach configuration needs "port": the port the simulator listens on (Run > Allow Debugger to Attach).');
      return undefined;
    }
    if (!config.program) {
      vscode.window.showErrorMessage('The launch configuration needs "program": the .hex, .ihx or .bin file to run.');
      return undefined;
    }
    return config;
  }
}

// "\r", "\n", "\t", "\\" and "\xHH" in the typed text stand for those bytes.
function unescape(text) {
  return text.replace(/\\(x[0-9a-fA-F]{2}|[rnt\\])/g, (_, e) =>
    e[0] === 'x' ? String.fromCharCode(parseInt(e.slice(1), 16)) : { r: '\r', n: '\n', t: '\t', '\\': '\\' }[e]);
}

async function sendToUart() {
  const session = vscode.debug.activeDebugSession;
  if (!session || session.type !== 'quorvel') {
    vscode.window.showErrorMessage('No 8051 debug session is running.');
    return;
  }
  const text = await vscode.window.showInputBox({
    prompt: 'Text the host sends to the chip\'s UART (\\r, \\n, \\xHH for control bytes)',
    value: '\\r',
  });
  if (text === undefined) return;
  try {
    await session.customRequest('uartInput', { text: unescape(text) });
  } catch (e) {
    vscode.window.showErrorMessage(`The UART input was refused: ${e.message}`);
  }
}

function activate(context) {
  context.subscriptions.push(
    vscode.debug.registerDebugAdapterDescriptorFactory('quorvel', new AdapterFactory()),
    vscode.debug.registerDebugConfigurationProvider('quorvel', new ConfigurationProvider()),
    vscode.commands.registerCommand('quorvel.sendToUart', sendToUart));
}

function deactivate() {}

module.exports = { activate, deactivate };
