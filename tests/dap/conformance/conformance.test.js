// quorvel-cli --dap driven by the VS Code debug adapter test client through
// a whole session on an SDCC program: launch, a breakpoint hit, the stack,
// the variables, memory and disassembly, steps forward and back, reverse continue, the UART's output
// and input, an exception stop, the run to the program's end, a restart.
// Then the same key cases over TCP, attached to the desktop simulator
// started offscreen with --dap-port: breakpoint, continue, the stack and the
// variables, a step, disconnect (the simulator goes on); launch refused,
// a frame that is no JSON answered.
'use strict';

const { test } = require('node:test');
const assert = require('node:assert');
const cp = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const net = require('node:net');
const { DebugClient } = require('@vscode/debugadapter-testsupport');

const cli = process.env.QUORVEL_CLI;
const gui = process.env.QUORVEL_GUI;
const sdcc = process.env.QUORVEL_SDCC;

// Compiles counter.c with its debug file into a new folder.
function buildProgram() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-dap-'));
  fs.copyFileSync(path.join(__dirname, 'counter.c'), path.join(dir, 'counter.c'));
  cp.execFileSync(sdcc, ['-mmcs51', '--debug', 'counter.c'], { cwd: dir, stdio: 'pipe' });
  const source = fs.readFileSync(path.join(dir, 'counter.c'), 'utf8').split('\n');
  const line = mark => source.findIndex(text => text.includes(`mark:${mark} `)) + 1;
  return { dir, source: path.join(dir, 'counter.c'), program: path.join(dir, 'counter.ihx'), line };
}

// Sends a request and waits for the stopped event it leads to; the
// reason, and the top frame's function and line.
async function stopAfter(dc, request) {
  const [stopped] = await Promise.all([dc.waitForEvent('stopped'), request()]);
  const trace = await dc.stackTraceRequest({ threadId: stopped.body.threadId });
  const top = trace.body.stackFrames[0];
  return { reason: stopped.body.reason, where: `${top.name}:${top.line}`, frames: trace.body.stackFrames,
           hits: stopped.body.hitBreakpointIds };
}

// The variables of one scope of the top frame, by name.
async function scopeValues(dc, scopeName) {
  const scopes = await dc.scopesRequest({ frameId: 0 });
  const scope = scopes.body.scopes.find(s => s.name === scopeName);
  assert.ok(scope, `no scope ${scopeName} among ${scopes.body.scopes.map(s => s.name)}`);
  const list = await dc.variablesRequest({ variablesReference: scope.variablesReference });
  return Object.fromEntries(list.body.variables.map(v => [v.name, v.value]));
}

// The desktop simulator started offscreen on `program` with --dap-port 0,
// and the port it says it listens on.
async function startGui(p) {
  const child = cp.spawn(gui, ['--start-dir', p.dir, '--dap-port', '0', p.program], {
    env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' },
    stdio: ['ignore', 'pipe', 'inherit'],
  });
  const port = await new Promise((resolve, reject) => {
    let said = '';
    child.stdout.on('data', data => {
      said += data;
      const found = /127\.0\.0\.1:(\d+)/.exec(said);
      if (found) resolve(Number(found[1]));
    });
    child.on('exit', code => reject(new Error(`quorvel ended (${code}) before it listened: ${said}`)));
  });
  return { child, port };
}

// A client on the adapter by `transport`: 'stdio' starts quorvel-cli --dap,
// a port number connects to the simulator there. `begin` launches or
// attaches, after the initialize request.
async function openClient(transport, p) {
  const dc = new DebugClient(cli, '--dap', 'quorvel');
  dc.defaultTimeout = 20000;
  await dc.start(transport === 'stdio' ? undefined : transport);
  const begin = transport === 'stdio'
    ? () => dc.launchRequest({ program: p.program, haltOnSelfJump: true })
    : () => dc.attachRequest({ port: transport });
  const init = await dc.initializeRequest();
  await Promise.all([dc.waitForEvent('initialized'), begin()]);
  return { dc, init };
}

test('a session from launch to the end of the program', async () => {
  assert.ok(cli && sdcc, 'QUORVEL_CLI and QUORVEL_SDCC must name quorvel-cli and sdcc');
  const p = buildProgram();
  const { dc, init } = await openClient('stdio', p);
  try {
    for (const capability of ['supportsConfigurationDoneRequest', 'supportsStepBack', 'supportsRestartRequest', 'supportsExceptionInfoRequest'])
      assert.strictEqual(init.body[capability], true, capability);

    const filters = init.body.exceptionBreakpointFilters.map(f => f.filter);
    assert.deepStrictEqual(filters, ['stack-overflow', 'undefined-opcode', 'movx-beyond-memory', 'watchdog-reset']);
    await dc.setExceptionBreakpointsRequest({ filters: ['movx-beyond-memory'] });
    const set = await dc.setBreakpointsRequest({ source: { path: p.source }, breakpoints: [{ line: p.line('call') }] });
    assert.deepStrictEqual(set.body.breakpoints.map(b => [b.verified, b.line]), [[true, p.line('call')]]);

    let stop = await stopAfter(dc, () => dc.configurationDoneRequest());
    assert.deepStrictEqual([stop.reason, stop.where], ['breakpoint', `main:${p.line('call')}`]);
    assert.strictEqual(stop.frames[0].source.path, p.source);
    assert.deepStrictEqual(await scopeValues(dc, 'Locals'), { i: '0' });

    // Into bump, over its first line, out to the line after the call; the
    // stack follows.
    const steps = [
      ['stepInRequest', 'bump', p.line('bump'), 2],
      ['nextRequest', 'bump', p.line('total'), 2],
      ['stepOutRequest', 'main', p.line('send'), 1],
    ];
    for (const [request, fn, line, depth] of steps) {
      stop = await stopAfter(dc, () => dc[request]({ threadId: 1 }));
      assert.deepStrictEqual([request, stop.reason, stop.where, stop.frames.length], [request, 'step', `${fn}:${line}`, depth]);
    }

    // Back over the call to its line, back one instruction to the loop's
    // start, forward to the call again.
    const back = [
      [{}, 'main', p.line('call')],
      [{ granularity: 'instruction' }, 'main', p.line('loop')],
    ];
    for (const [args, fn, line] of back) {
      stop = await stopAfter(dc, () => dc.stepBackRequest({ threadId: 1, ...args }));
      assert.deepStrictEqual([stop.reason, stop.where, stop.frames.length], ['step', `${fn}:${line}`, 1]);
    }
    stop = await stopAfter(dc, () => dc.nextRequest({ threadId: 1 }));
    assert.strictEqual(stop.where, `main:${p.line('call')}`);

    // Round the loop to the call again: '0' went out, i is 1 (in R7 until
    // bump is called), bump(0) left count at 0.
    const callBreak = await dc.setBreakpointsRequest({ source: { path: p.source }, breakpoints: [{ line: p.line('call') }] });
    const callId = callBreak.body.breakpoints[0].id;
    [, stop] = await Promise.all([dc.assertOutput('stdout', '0'), stopAfter(dc, () => dc.continueRequest({ threadId: 1 }))]);
    assert.deepStrictEqual([stop.reason, stop.where], ['breakpoint', `main:${p.line('call')}`]);
    assert.deepStrictEqual(await scopeValues(dc, 'Locals'), { i: '1' });
    const registers = await scopeValues(dc, 'Registers');
    const pc = parseInt(stop.frames[0].instructionPointerReference.replace('code:', ''), 16);
    assert.deepStrictEqual([registers.R7, Number(registers.PC)], ['0x01', pc]);
    const hover = await dc.evaluateRequest({ expression: 'i', frameId: 0, context: 'hover' });
    assert.deepStrictEqual([hover.body.result, hover.body.type], ['1', 'unsigned char']);
    // i's memory (R7 of bank 0), and the disassembly at the stop.
    const memory = await dc.send('readMemory', { memoryReference: hover.body.memoryReference, count: 1 });
    assert.deepStrictEqual([hover.body.memoryReference, [...Buffer.from(memory.body.data, 'base64')]], ['iram:07', [1]]);
    const code = await dc.disassembleRequest({ memoryReference: stop.frames[0].instructionPointerReference, instructionCount: 2 });
    assert.deepStrictEqual([parseInt(code.body.instructions[0].address, 16), code.body.instructions[0].line], [pc, p.line('call')]);

    // Back to the breakpoint's last hit before, i is 0 again; forward to
    // this one.
    for (const [request, i] of [['reverseContinueRequest', '0'], ['continueRequest', '1']]) {
      stop = await stopAfter(dc, () => dc[request]({ threadId: 1 }));
      assert.deepStrictEqual([request, stop.reason, stop.where, stop.hits, (await scopeValues(dc, 'Locals')).i],
        [request, 'breakpoint', `main:${p.line('call')}`, [callId], i]);
    }

    // Without breakpoints the program sends the rest of its digits, waits
    // for a byte (sent while it runs), answers it, stops at the MOVX past
    // the external data memory (there is none) and then ends.
    await dc.setBreakpointsRequest({ source: { path: p.source }, breakpoints: [] });
    await Promise.all([dc.assertOutput('stdout', '136'), dc.continueRequest({ threadId: 1 })]);
    [, stop] = await Promise.all([dc.assertOutput('stdout', 'B'), stopAfter(dc, () => dc.customRequest('uartInput', { text: 'A' }))]);
    assert.deepStrictEqual([stop.reason, stop.where], ['exception', `main:${p.line('movx')}`]);
    const info = await dc.exceptionInfoRequest({ threadId: 1 });
    assert.strictEqual(info.body.exceptionId, 'movx-beyond-memory');
    await Promise.all([dc.waitForEvent('terminated'), dc.continueRequest({ threadId: 1 })]);

    // A restart loads the program anew and keeps the breakpoints; count
    // starts from 0 again. Terminate ends it.
    await dc.setBreakpointsRequest({ source: { path: p.source }, breakpoints: [{ line: p.line('send') }] });
    stop = await stopAfter(dc, () => dc.restartRequest({}));
    assert.deepStrictEqual([stop.reason, stop.where, (await scopeValues(dc, 'Globals')).count], ['breakpoint', `main:${p.line('send')}`, '0']);
    await Promise.all([dc.waitForEvent('terminated'), dc.terminateRequest({})]);
  } finally {
    await dc.stop();
    fs.rmSync(p.dir, { recursive: true, force: true });
  }
});

test('attached over TCP to the desktop simulator', { skip: !gui && 'the build has no GUI (QUORVEL_GUI=OFF)' }, async () => {
  assert.ok(sdcc, 'QUORVEL_SDCC must name sdcc');
  const p = buildProgram();
  const { child, port } = await startGui(p);
  let dc, init;
  try {
    ({ dc, init } = await openClient(port, p));
    // The simulator's program is its own; its history the client steps in.
    assert.deepStrictEqual([init.body.supportsStepBack, init.body.supportsRestartRequest], [true, false]);
    await assert.rejects(dc.launchRequest({ program: p.program }), /has its program already/);
    const set = await dc.setBreakpointsRequest({ source: { path: p.source }, breakpoints: [{ line: p.line('call') }] });
    assert.deepStrictEqual(set.body.breakpoints.map(b => [b.verified, b.line]), [[true, p.line('call')]]);
    let stop = await stopAfter(dc, () => dc.configurationDoneRequest());
    assert.deepStrictEqual([stop.reason, parseInt(stop.frames[0].instructionPointerReference.replace('code:', ''), 16)], ['entry', 0]);
    stop = await stopAfter(dc, () => dc.continueRequest({ threadId: 1 }));
    assert.deepStrictEqual([stop.reason, stop.where, stop.frames[0].source.path], ['breakpoint', `main:${p.line('call')}`, p.source]);
    assert.deepStrictEqual(await scopeValues(dc, 'Locals'), { i: '0' });
    // Into bump, back out of it through the simulator's history, in again.
    for (const [request, where, depth] of [['stepInRequest', `bump:${p.line('bump')}`, 2],
      ['stepBackRequest', `main:${p.line('call')}`, 1], ['stepInRequest', `bump:${p.line('bump')}`, 2]]) {
      stop = await stopAfter(dc, () => dc[request]({ threadId: 1 }));
      assert.deepStrictEqual([request, stop.reason, stop.where, stop.frames.length], [request, 'step', where, depth]);
    }
    await dc.disconnectRequest({});
    dc.stopAdapter();

    // The simulator goes on where the client left it: the next client finds
    // the program in bump, and runs it round the loop to the call again.
    ({ dc } = await openClient(port, p));
    stop = await stopAfter(dc, () => dc.configurationDoneRequest());
    assert.deepStrictEqual([stop.reason, stop.where], ['entry', `bump:${p.line('bump')}`]);
    // What the UART sends on the way is output, as under launch.
    await dc.setBreakpointsRequest({ source: { path: p.source }, breakpoints: [{ line: p.line('call') }] });
    [, stop] = await Promise.all([dc.assertOutput('stdout', '0'), stopAfter(dc, () => dc.continueRequest({ threadId: 1 }))]);
    assert.deepStrictEqual([stop.where, (await scopeValues(dc, 'Locals')).i], [`main:${p.line('call')}`, '1']);
    await dc.disconnectRequest({});
    dc.stopAdapter();

    // A frame that is no JSON gets an error response on the socket.
    const answer = await new Promise((resolve, reject) => {
      const socket = net.connect(port, '127.0.0.1', () => socket.write('Content-Length: 5\r\n\r\nhello'));
      let said = '';
      socket.on('data', data => {
        said += data;
        if (said.includes('}')) { socket.destroy(); resolve(said); }
      });
      socket.on('error', reject);
    });
    assert.match(answer, /"success":false.*"message":"the message is not JSON"|"message":"the message is not JSON".*"success":false/);
    assert.strictEqual(child.exitCode, null, 'the simulator ended');
  } finally {
    dc?.stopAdapter();
    child.kill();
    fs.rmSync(p.dir, { recursive: true, force: true });
  }
});
