// korvane-server in a real browser, end to end: headless Chromium (Debian's) driven by
// puppeteer-core, against the fake search engine, with the server's own worker.
//
//   node server_e2e.mjs --server PATH --cli PATH --engine PATH [--chromium /usr/bin/chromium]
//
// The test signs in, adds two domains in the form, waits until both are analysed, opens the
// dashboard, a domain page and an analysis, sorts a column, downloads a CSV and compares its
// rows with korvane-cli's for the same domain, signs out and sees / send it to /login.
// Everything it starts (the fake engine, the server, Chromium) listens on 127.0.0.1 only and
// is stopped on every way out. Exit status: 0 passed, 1 failed, 77 skipped (what it needs is
// not installed: scripts/install-deps installs it).

import { readFileSync } from 'node:fs';
import { join } from 'node:path';

import {
  addAdmin, addDomains, bounded, browserDriver, dashboardRows, follow, launchBrowser, open, options,
  run, runMain, signIn, startEngine, startServer, stopAll, TIMEOUT_MS, waitUntilAnalysed, workFolder,
} from './harness.mjs';

function check(condition, message) {
  if (!condition) throw new Error(message);
}

function same(actual, expected, message) {
  const a = JSON.stringify(actual);
  const e = JSON.stringify(expected);
  if (a !== e) throw new Error(`${message}\n  got:      ${a}\n  expected: ${e}`);
}

// ---------------------------------------------------------------------------------------------
// CSV as the exporters write it (RFC 4180, CR LF, maybe a byte-order mark)

function csvRows(text) {
  const rows = [];
  let row = [];
  let field = '';
  let quoted = false;
  const body = text.replace(/^\uFEFF/, '');
  for (let i = 0; i < body.length; ++i) {
    const c = body[i];
    if (quoted) {
      if (c === '"' && body[i + 1] === '"') {
        field += '"';
        ++i;
      } else if (c === '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c === '"') {
      quoted = true;
    } else if (c === ',') {
      row.push(field);
      field = '';
    } else if (c === '\r' && body[i + 1] === '\n') {
      row.push(field);
      rows.push(row);
      row = [];
      field = '';
      ++i;
    } else {
      field += c;
    }
  }
  if (field !== '' || row.length) {
    row.push(field);
    rows.push(row);
  }
  return rows;
}

// latest_date_iso of a relative date ("3小时前") is counted back from the analysis's start, so
// two analyses of the same pages agree on it only for calendar dates. Relative ones must still
// carry a time.
function comparableRows(rows) {
  const header = rows[0] ?? [];
  const date = header.indexOf('latest_date');
  const iso = header.indexOf('latest_date_iso');
  check(date >= 0 && iso >= 0, `no latest_date columns in the header: ${header}`);
  return rows.map((row, n) => {
    if (n === 0 || !/前$/.test(row[date])) return row;
    check(/^\d{4}-\d\d-\d\dT\d\d:\d\d(:\d\d)?([+-]\d\d:\d\d|Z)$/.test(row[iso]),
      `row ${n}: a relative date without its time: ${row}`);
    return row.map((field, i) => (i === iso ? '(counted from the start)' : field));
  });
}

// Clicks the download link `selector` and answers the file's path once the browser has
// written it whole (the browser's own download events).
async function download(browser, page, selector, folder) {
  const session = await browser.target().createCDPSession();
  try {
    await session.send('Browser.setDownloadBehavior', { behavior: 'allowAndName', downloadPath: folder, eventsEnabled: true });
    const done = bounded(new Promise((resolve, reject) => {
      session.on('Browser.downloadProgress', (event) => {
        if (event.state === 'completed') resolve(event.guid);
        if (event.state === 'canceled') reject(new Error('the browser cancelled the download'));
      });
    }), 'the download');
    await page.click(selector);
    return join(folder, await done); // allowAndName: the file is named by its download's id
  } finally {
    await session.detach().catch(() => {});
  }
}

// ---------------------------------------------------------------------------------------------

async function main() {
  const opts = options(process.argv.slice(2), ['server', 'cli', 'engine', 'chromium'], ['server', 'cli', 'engine'],
    { chromium: '/usr/bin/chromium' });
  const puppeteer = await browserDriver(opts.chromium);

  const work = workFolder();
  const store = join(work, 'history.sqlite');
  let browser;
  try {
    const origin = await startEngine(opts.engine);
    const user = 'alice';
    const password = 'correct horse battery';
    await addAdmin(opts.server, store, user, password);
    const { child: server, base } = await startServer(opts.server, store, origin);

    browser = await launchBrowser(puppeteer, opts.chromium, join(work, 'profile'));
    const page = await browser.newPage();
    page.setDefaultTimeout(TIMEOUT_MS);
    await page.setViewport({ width: 1280, height: 900 });

    // Without a session, / sends the browser to the login page.
    let at = await open(page, `${base}/`);
    same([at.path, at.status], ['/login', 200], 'a visitor without a session is sent to /login');

    // Signing in leads to the dashboard.
    at = await signIn(page, base, user, password);
    same([at.path, at.status], ['/', 200], 'after signing in, the dashboard');

    // Two domains added in the form; the server's worker analyses both.
    const domains = ['alpha.example.com', 'beta.example.org'];
    at = await addDomains(page, base, domains);
    same(at.status, 200, 'the form takes the two domains');
    same(await page.$$eval('#added li', (lis) => lis.map((li) => li.textContent.trim())), domains,
      'the page after adding lists the domains added');
    let rows = await waitUntilAnalysed(page, base, domains);
    same(rows.map((row) => row.domain), domains, 'the dashboard lists the two domains, by name');

    // Sorting without script: each heading is a link. 域名 sorts descending, then ascending.
    at = await follow(page, '#domains th a[data-sort="domain"]');
    same(new URL(at.url).searchParams.get('dir'), 'desc', 'the second click on 域名 sorts descending');
    same((await dashboardRows(page)).map((row) => row.domain), [...domains].reverse(), 'sorted by domain, descending');
    same(await page.$eval('#domains th[aria-sort]', (th) => th.getAttribute('aria-sort')), 'descending',
      'the sorted heading says so');
    await follow(page, '#domains th a[data-sort="domain"]');
    rows = await dashboardRows(page);
    same(rows.map((row) => row.domain), domains, 'sorted by domain, ascending');

    // The domain page: its history and the site table of its latest complete analysis.
    const domain = domains[0];
    const row = rows.find((r) => r.domain === domain);
    at = await follow(page, `#domains tbody a[href="/domains/${domain}"]`);
    same([at.path, at.status], [`/domains/${domain}`, 200], 'the domain page');
    const latestRows = await page.$$eval('#latest table.sites tbody tr', (trs) => trs.length);
    same(String(latestRows), row.sites, 'the latest complete analysis lists as many sites as the dashboard counts');

    // The analysis, from the domain page's list of them.
    at = await follow(page, `table.downloads a[href="${row.analysis}"]`);
    same([at.path, at.status], [row.analysis, 200], 'the analysis page');
    check((await page.title()).includes(domain), `the analysis page's title names ${domain}: ${await page.title()}`);
    const analysisRows = await page.$$eval('table.sites tbody tr', (trs) => trs.length);
    same(String(analysisRows), row.sites, 'the analysis page lists every site');

    // Its CSV, downloaded as a browser downloads a file, has the rows korvane-cli prints for
    // the same domain and engine.
    const file = await download(browser, page, 'a.csv', join(work, 'downloads'));
    const downloaded = csvRows(readFileSync(file, 'utf8'));
    const printed = csvRows(await run('korvane-cli', opts.cli, ['--format', 'csv', '--engine', origin, '--delay', '0', domain]));
    check(printed.length > 1, `korvane-cli printed no site: ${JSON.stringify(printed)}`);
    same(comparableRows(downloaded), comparableRows(printed), "the downloaded CSV has korvane-cli's rows");
    same(String(downloaded.length - 1), row.sites, 'the CSV has a row per site');

    // Signing out, then / sends the browser to /login again.
    at = await follow(page, '#logout');
    same(at.path, '/login', 'signing out ends at the login page');
    at = await open(page, `${base}/`);
    same(at.path, '/login', 'after signing out, / sends the browser to /login');

    await browser.close();
    browser = undefined;
    const ended = await server.stop();
    same(ended.code, 0, 'korvane-server exits 0 on SIGTERM');
    console.log(`PASSED: ${domains.length} domains analysed by the server's worker, ${row.sites} sites each; `
      + `the CSV of ${row.analysis} has korvane-cli's ${printed.length - 1} rows`);
  } finally {
    if (browser) await browser.close().catch(() => {});
    await stopAll();
  }
}

runMain(main, 'FAILED: ');
