// What the browser test and the picture script share: child processes that are stopped on
// every way out, bounded waits, korvane-server with the fake engine on 127.0.0.1, and
// Debian's Chromium driven by puppeteer-core.

import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const SKIP = 77;
export const TIMEOUT_MS = 30_000; // any one browser step, process start or stop
export const POLL_MS = 500; // between two looks at a page while the worker analyses
export const POLLS = 180; // looks before giving up: a minute and a half

// ---------------------------------------------------------------------------------------------
// Arguments

// --name VALUE pairs; `required` names must be there.
export function options(argv, known, required, defaults = {}) {
  const found = { ...defaults };
  for (let i = 0; i < argv.length; i += 2) {
    const name = argv[i].replace(/^--/, '');
    if (!known.includes(name) || i + 1 >= argv.length) throw new Error(`unknown or incomplete argument: ${argv[i]}`);
    found[name] = argv[i + 1];
  }
  for (const name of required) {
    if (!found[name]) throw new Error(`--${name} is required`);
  }
  return found;
}

// puppeteer-core and Chromium, or an exit with SKIP saying which is missing.
export async function browserDriver(chromium) {
  const skip = (why) => {
    console.log(`SKIPPED: ${why} (scripts/install-deps installs it)`);
    process.exit(SKIP);
  };
  if (!existsSync(chromium)) skip(`no Chromium at ${chromium}`);
  try {
    return (await import('puppeteer-core')).default;
  } catch {
    return skip(`puppeteer-core is not installed in ${import.meta.dirname}/node_modules`);
  }
}

// ---------------------------------------------------------------------------------------------
// Child processes: every one is stopped on the way out, whatever happens.

// A fresh home for every program started here, so nothing of the machine's user leaks in.
const home = mkdtempSync(join(tmpdir(), 'korvane-browser-e2e-home-'));
const folders = [home]; // removed on exit
const children = new Set(); // running
const started = []; // all of them, for what they printed when something fails

export class Child {
  constructor(label, command, args, { input } = {}) {
    this.label = label;
    this.output = ''; // standard output and error, as they came
    this.stdout = '';
    this.listeners = [];
    this.proc = spawn(command, args, { env: childEnvironment(), stdio: ['pipe', 'pipe', 'pipe'] });
    children.add(this);
    started.push(this);
    this.exit = new Promise((resolve) => {
      this.proc.on('error', (error) => {
        this.output += `\n(${error.message})`;
        children.delete(this);
        resolve({ code: null, signal: null, error });
      });
      this.proc.on('exit', (code, signal) => {
        children.delete(this);
        resolve({ code, signal });
      });
    });
    const take = (chunk, isStdout) => {
      this.output += chunk.toString();
      if (isStdout) this.stdout += chunk.toString();
      for (const listener of this.listeners) listener();
    };
    this.proc.stdout.on('data', (chunk) => take(chunk, true));
    this.proc.stderr.on('data', (chunk) => take(chunk, false));
    this.proc.stdin.on('error', () => {}); // a program that does not read its input
    this.proc.stdin.end(input ?? '');
  }

  // The first match of `pattern` in what the process printed, once it is there.
  waitFor(pattern, what) {
    return bounded(
      new Promise((resolve, reject) => {
        const look = () => {
          const match = this.output.match(pattern);
          if (match) resolve(match);
        };
        this.listeners.push(look);
        look();
        this.exit.then(({ code, signal }) =>
          reject(new Error(`${this.label} ended (${code ?? signal}) before ${what}:\n${this.output}`)));
      }),
      `${this.label}: ${what}`);
  }

  // Ends the process: SIGTERM, then SIGKILL when it has not gone within the time allowed.
  async stop() {
    if (!children.has(this)) return this.exit;
    this.proc.kill('SIGTERM');
    try {
      return await bounded(this.exit, `${this.label} to stop`);
    } catch {
      this.proc.kill('SIGKILL');
      return this.exit;
    }
  }
}

export async function stopAll() {
  await Promise.all([...children].map((child) => child.stop()));
}

export function printOutputs() {
  for (const child of started) console.error(`--- ${child.label} printed:\n${child.output}`);
}

// Runs a script's main(): exit 0 when it ends, else the error after `prefix`, what every process
// printed, and exit 1.
export function runMain(main, prefix) {
  main().then(
    () => process.exit(0),
    (error) => {
      console.error(`${prefix}${error.stack ?? error}`);
      printOutputs();
      process.exit(1);
    });
}

// SIGKILL for whatever is still running (the last resort: on exit and on a signal).
function killAllNow() {
  for (const child of children) child.proc.kill('SIGKILL');
}
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) {
  process.on(signal, () => {
    console.error(`stopped by ${signal}`);
    process.exit(1);
  });
}
process.on('exit', () => {
  killAllNow();
  for (const folder of folders) rmSync(folder, { recursive: true, force: true, maxRetries: 3 });
});

// The programs honour the proxy variables: none may stand between them and the local servers.
function childEnvironment() {
  const env = { ...process.env, LC_ALL: 'C', LANG: 'C', HOME: home };
  for (const name of ['http_proxy', 'https_proxy', 'all_proxy', 'no_proxy']) {
    delete env[name];
    delete env[name.toUpperCase()];
  }
  delete env.KORVANE_STORE;
  return env;
}

// Runs a program to its end; its standard output. Anything but exit status 0 throws.
export async function run(label, command, args, input) {
  const child = new Child(label, command, args, { input });
  const { code, signal } = await bounded(child.exit, label);
  if (code !== 0) throw new Error(`${label} ended with ${code ?? signal}:\n${child.output}`);
  return child.stdout;
}

export function delay(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

export function bounded(promise, what, ms = TIMEOUT_MS) {
  let timer;
  const late = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`no answer within ${ms / 1000} s: ${what}`)), ms);
  });
  return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

// A port nothing listens on now, on the loopback interface.
export function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.on('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// ---------------------------------------------------------------------------------------------
// The fake engine and korvane-server

// Starts the fake engine on a port of its choosing; its origin.
export async function startEngine(engine, args = []) {
  const child = new Child('korvane-fake-engine', engine, ['--port', '0', ...args]);
  return (await child.waitFor(/^(http:\/\/127\.0\.0\.1:\d+)$/m, 'its address'))[1];
}

// Adds an admin to the store, the password on standard input.
export async function addAdmin(server, store, name, password) {
  await run('korvane-server user add', server,
    ['user', 'add', name, '--role', 'admin', '--password-stdin', '--store', store], `${password}\n`);
}

// Starts korvane-server on a free loopback port with its own worker; the Child and the base
// address, once it says it listens.
export async function startServer(server, store, origin) {
  const port = await freePort();
  const child = new Child('korvane-server', server, [
    '--store', store, '--listen', `127.0.0.1:${port}`, '--workers', '1', '--delay', '0', '--engine', origin,
  ]);
  await child.waitFor(new RegExp(`127\\.0\\.0\\.1:${port}\\b`), 'the address it listens on');
  return { child, base: `http://127.0.0.1:${port}` };
}

// ---------------------------------------------------------------------------------------------
// The browser

export async function launchBrowser(puppeteer, chromium, profile) {
  return puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    // Without the background-networking flags Chromium tries hosts a closed network refuses.
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--no-proxy-server', '--hide-scrollbars', '--force-device-scale-factor=1',
    ],
    // The handlers above stop everything; puppeteer still ends Chromium when this process exits.
    handleSIGINT: false,
    handleSIGTERM: false,
    handleSIGHUP: false,
    timeout: TIMEOUT_MS,
  });
}

function landed(page, response) {
  return { url: page.url(), path: new URL(page.url()).pathname, status: response?.status() };
}

// Goes to `url`; the page's final address, path and status.
export async function open(page, url) {
  return landed(page, await page.goto(url, { waitUntil: 'load' }));
}

// Clicks `selector` (a link, or a form's submit button) and waits for the page it leads to.
export async function follow(page, selector) {
  const [response] = await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click(selector)]);
  return landed(page, response);
}

export async function signIn(page, base, name, password) {
  await open(page, `${base}/login`);
  await page.type('#login input[name=name]', name);
  await page.type('#login input[name=password]', password);
  return follow(page, '#login [type=submit]');
}

// Adds domains in the form at /domains/add.
export async function addDomains(page, base, domains) {
  await open(page, `${base}/domains/add`);
  await page.type('#add textarea[name=domains]', domains.join('\n'));
  return follow(page, '#add [type=submit]');
}

// The dashboard's rows as shown: domain, the latest analysis's address (null when there is
// none yet) and its site count.
export function dashboardRows(page) {
  return page.$$eval('#domains tbody tr', (trs) => trs.map((tr) => {
    const cells = [...tr.cells];
    const analysis = cells[1]?.querySelector('a[href^="/analyses/"]');
    return {
      domain: cells[0]?.textContent.trim(),
      analysis: analysis ? analysis.getAttribute('href') : null,
      sites: cells[4]?.textContent.trim(),
    };
  }));
}

// Looks at the dashboard until every one of `domains` shows an analysis (at most POLLS
// times); its rows then.
export async function waitUntilAnalysed(page, base, domains) {
  for (let poll = 0; ; ++poll) {
    const at = await open(page, `${base}/`);
    if (at.status !== 200) throw new Error(`the dashboard answered ${at.status}`);
    const rows = await dashboardRows(page);
    const analysed = domains.filter((d) => rows.some((row) => row.domain === d && row.analysis));
    if (analysed.length === domains.length) return rows;
    if (poll + 1 >= POLLS) {
      throw new Error(`after ${POLLS} looks at the dashboard, analysed only [${analysed}]: ${JSON.stringify(rows)}`);
    }
    await delay(POLL_MS);
  }
}

// A temporary folder, removed on the way out.
export function workFolder() {
  const folder = mkdtempSync(join(tmpdir(), 'korvane-browser-e2e-'));
  folders.push(folder);
  return folder;
}
