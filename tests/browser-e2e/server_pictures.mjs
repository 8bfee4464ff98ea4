// The README's pictures of korvane-server, taken in headless Chromium: the dashboard and a
// domain page. The store holds made-up history (korvane-server-sample); one more domain is
// added in the form and analysed by the server's worker against the fake engine.
//
//   node server_pictures.mjs --server PATH --engine PATH --sample PATH --out FOLDER
//       [--chromium /usr/bin/chromium]
//
// Writes FOLDER/server-dashboard.png and FOLDER/server-domain.png (scripts/screenshot-server).

import { mkdirSync } from 'node:fs';
import { join, resolve } from 'node:path';

import {
  addAdmin, addDomains, browserDriver, launchBrowser, open, options, run, runMain, signIn, startEngine,
  startServer, stopAll, TIMEOUT_MS, waitUntilAnalysed, workFolder,
} from './harness.mjs';

async function main() {
  const opts = options(process.argv.slice(2), ['server', 'engine', 'sample', 'out', 'chromium'],
    ['server', 'engine', 'sample', 'out'], { chromium: '/usr/bin/chromium' });
  const puppeteer = await browserDriver(opts.chromium);
  const out = resolve(opts.out);
  mkdirSync(out, { recursive: true });

  const work = workFolder();
  const store = join(work, 'history.sqlite');
  let browser;
  try {
    await run('korvane-server-sample', opts.sample, [store]);
    const origin = await startEngine(opts.engine, ['--total', '230', '--sites', '23']);
    await addAdmin(opts.server, store, 'admin', 'a picture password');
    const { base } = await startServer(opts.server, store, origin);

    browser = await launchBrowser(puppeteer, opts.chromium, join(work, 'profile'));
    const page = await browser.newPage();
    page.setDefaultTimeout(TIMEOUT_MS);
    await page.setViewport({ width: 1000, height: 700 });
    const at = await signIn(page, base, 'admin', 'a picture password');
    if (at.path !== '/') throw new Error(`signing in ended at ${at.url} (${at.status})`);
    await addDomains(page, base, ['new.example.net']);
    await waitUntilAnalysed(page, base, ['new.example.net']);

    // The dashboard, whole.
    await open(page, `${base}/`);
    await page.screenshot({ path: join(out, 'server-dashboard.png'), fullPage: true });
    // A domain page, from its top: the chart, the analyses and the latest change.
    await open(page, `${base}/domains/example.com`);
    const height = await page.evaluate(() => document.documentElement.scrollHeight);
    await page.screenshot({ path: join(out, 'server-domain.png'), clip: { x: 0, y: 0, width: 1000, height: Math.min(height, 1500) } });
    console.log(join(out, 'server-dashboard.png'));
    console.log(join(out, 'server-domain.png'));
  } finally {
    if (browser) await browser.close().catch(() => {});
    await stopAll();
  }
}

runMain(main, 'server_pictures: ');
