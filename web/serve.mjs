// A static server for the page, bound to 127.0.0.1: node serve.mjs FOLDER [PORT].
// Port 0 takes any free port; the address is printed once the server listens.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, resolve, sep } from 'node:path';

const kTypes = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
                 '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm', '.svg': 'image/svg+xml',
                 '.json': 'application/json', '.png': 'image/png', '.ico': 'image/x-icon' };

const root = resolve(process.argv[2] ?? '.');
const port = Number(process.argv[3] ?? 8317);

const server = createServer(async (request, response) => {
  const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
  const file = normalize(join(root, path.endsWith('/') ? path + 'index.html' : path));
  if (file !== root && !file.startsWith(root + sep)) {
    response.writeHead(403).end();
    return;
  }
  try {
    const body = await readFile(file);
    response.writeHead(200, { 'Content-Type': kTypes[extname(file)] ?? 'application/octet-stream',
                              'Cache-Control': 'no-cache' });
    response.end(body);
  } catch {
    response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
  }
});

server.on('error', (error) => {
  console.error(`quillvex: can't serve the page on 127.0.0.1:${port}: ${error.message}`);
  process.exit(1);
});
server.listen(port, '127.0.0.1', () => {
  console.log(`Quillvex page: http://127.0.0.1:${server.address().port}/`);
});
