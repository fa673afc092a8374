// The page over https through Debian's nginx as a TLS-terminating reverse proxy, configured by
// the shipped deploy/nginx-camview.conf (addresses, ports and a throw-away certificate put in):
// headless Chromium loads the page and gets pictures over wss, and the gateway takes the
// browser's address and scheme from the proxy, which it trusts, but from no one else.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import https from 'node:https';
import net from 'node:net';
import { tmpdir, userInfo } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { startRecorder, startGateway, stopProcess, launchBrowser, openPage, waitForPictures,
         kWait } from './support.mjs';

const deployDir = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..', 'deploy');
const kProxyAddress = '127.0.0.2'; // nginx connects to the gateway from here; the browser is 127.0.0.1

function findProgram(name) {
  const dirs = [...(process.env.PATH ?? '').split(':'), '/usr/sbin', '/sbin'];
  return dirs.filter((dir) => dir !== '').map((dir) => path.join(dir, name)).find((file) => existsSync(file));
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

function replaced(text, from, to) {
  assert.ok(text.includes(from), `"${from}" is not in the shipped nginx configuration`);
  return text.replace(from, to);
}

// nginx in the foreground with everything of its own in `dir`; resolves once it accepts.
async function startNginx(program, dir, gatewayPort) {
  const port = await freePort();
  let site = readFileSync(path.join(deployDir, 'nginx-camview.conf'), 'utf8');
  site = replaced(site, 'server 127.0.0.1:8080;', `server 127.0.0.1:${gatewayPort};`);
  site = replaced(site, '    listen 443 ssl;\n', `    listen 127.0.0.1:${port} ssl;\n`);
  site = replaced(site, '    listen [::]:443 ssl;\n', '');
  site = replaced(site, '/etc/ssl/certs/cameras.example.com.pem', path.join(dir, 'cert.pem'));
  site = replaced(site, '/etc/ssl/private/cameras.example.com.key', path.join(dir, 'key.pem'));
  site = replaced(site, 'proxy_pass http://camview_gateway;',
                  `proxy_pass http://camview_gateway;\n        proxy_bind ${kProxyAddress};`);
  writeFileSync(path.join(dir, 'camview.conf'), site);
  const temp = ['body', 'proxy', 'fastcgi', 'uwsgi', 'scgi'];
  for (const name of temp) mkdirSync(path.join(dir, name));
  writeFileSync(path.join(dir, 'nginx.conf'), [
    // Workers of an nginx started by root would switch to "nobody" and lose the test's folder.
    process.getuid() === 0 ? `user ${userInfo().username};` : '',
    'worker_processes 1;', `pid ${dir}/nginx.pid;`, `error_log ${dir}/error.log;`,
    'events { worker_connections 256; }',
    'http {', `  access_log ${dir}/access.log;`,
    ...temp.map((name) => `  ${name === 'body' ? 'client_body' : name}_temp_path ${dir}/${name};`),
    `  include ${dir}/camview.conf;`, '}', ''].join('\n'));
  // Through a shell that ends nginx when this process closes its end of the pipe: on stopNginx(),
  // and by itself when the test dies first (a crash, a time-out's kill).
  const child = spawn('sh', ['-c', 'exec 3<&0; "$@" </dev/null 3<&- & pid=$!; (read _ <&3; kill $pid) & wait $pid',
                             'sh', program, '-p', dir, '-c', path.join(dir, 'nginx.conf'), '-e',
                             path.join(dir, 'error.log'), '-g', 'daemon off;'],
                      { stdio: ['pipe', 'ignore', 'ignore'] });
  const deadline = Date.now() + kWait;
  while (true) {
    if (child.exitCode !== null) throw new Error(`nginx ended: ${readFileSync(path.join(dir, 'error.log'), 'utf8')}`);
    const open = await new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1', () => { socket.destroy(); resolve(true); });
      socket.once('error', () => resolve(false));
    });
    if (open) return { child, port };
    if (Date.now() > deadline) throw new Error('nginx did not start listening');
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

async function stopNginx(nginx) {
  if (!nginx) return;
  const ended = nginx.child.exitCode === null ? new Promise((resolve) => nginx.child.once('exit', resolve)) : null;
  nginx.child.stdin.end();
  await ended;
}

// One https GET through the proxy from `localAddress`: the status and the body.
function httpsGet(port, target, localAddress) {
  return new Promise((resolve, reject) => {
    https.get({ host: '127.0.0.1', port, path: target, localAddress, rejectUnauthorized: false }, (response) => {
      let body = '';
      response.on('data', (chunk) => { body += chunk; });
      response.on('end', () => resolve({ status: response.statusCode, body }));
    }).on('error', reject);
  });
}

const nginxProgram = findProgram('nginx');
const openssl = findProgram('openssl');
const missing = !nginxProgram ? 'nginx' : !openssl ? 'openssl' : null;
if (missing) console.log(`SKIPPED: ${missing} is not installed (scripts/bootstrap installs it): TLS proxy not tested`);

let recorder, gateway, nginx, browser, dir;
after(async () => {
  await browser?.close();
  await stopNginx(nginx);
  await stopProcess(gateway?.child);
  await stopProcess(recorder?.child);
  if (dir) rmSync(dir, { recursive: true, force: true });
});

test('the page over https and its pictures over wss through a TLS-terminating nginx', { skip: missing !== null },
     async () => {
  dir = mkdtempSync(path.join(tmpdir(), 'camview-nginx-'));
  execFileSync(openssl, ['req', '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1', '-nodes',
                         '-days', '1', '-subj', '/CN=127.0.0.1', '-addext', 'subjectAltName=IP:127.0.0.1',
                         '-keyout', path.join(dir, 'key.pem'), '-out', path.join(dir, 'cert.pem')],
               { stdio: 'ignore' });
  recorder = await startRecorder();
  // The browser's address may read the figures; the proxy's own may not.
  gateway = await startGateway(recorder.port, ['--public-name', '127.0.0.1', '--trusted-proxy', kProxyAddress,
                                               '--metrics-from', '127.0.0.1']);
  nginx = await startNginx(nginxProgram, dir, gateway.port);

  browser = await launchBrowser('en-US', ['--ignore-certificate-errors']);
  const page = await openPage(browser.browser, `https://127.0.0.1:${nginx.port}/?recorder=gate&id=1&size=360x288`,
                              360, 288);
  await waitForPictures(page, 3);
  assert.equal(await page.evaluate(() => location.protocol), 'https:');

  // The gateway took the page's https origin for its own (from X-Forwarded-Proto) and the
  // browser's address for the client (from X-Forwarded-For): the figures are its to read.
  const figures = await page.evaluate(async () => {
    const response = await fetch('/metrics');
    return { status: response.status, text: await response.text() };
  });
  assert.equal(figures.status, 200, figures.text);
  assert.match(figures.text, /^camview_gateway_sessions 1$/m);
  assert.match(figures.text, /^camview_gateway_refusals_total\{reason="origin"\} 0$/m);
  assert.match(figures.text, /^camview_gateway_forwarded_malformed_total 0$/m);
  // Another client through the same proxy is not the monitoring's address.
  const other = await httpsGet(nginx.port, '/metrics', '127.0.0.3');
  assert.equal(other.status, 403, other.body);
  await page.close();
});
