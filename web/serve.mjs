// A static server for the page, bound to 127.0.0.1: node serve.mjs FOLDER [PORT].
// Port 0 takes any free port; the address is printed once the server listens.
// A bad request gets its own answer; nothing a browser sends stops the server.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, resolve, sep } from 'node:path';

const kTypes = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
                 '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm', '.svg': 'image/svg+xml',
                 '.json': 'application/json', '.png': 'image/png', '.ico': 'image/x-icon' };

const root = resolve(process.argv[2] ?? '.');
const port = Number(process.argv[3] ?? 8317);
if (!Number.isInteger(port) || port < 0 || port > 65535) {
  console.error(`quillvex: the port must be a number from 0 to 65535, not '${process.argv[3]}'`);
  process.exit(2);
}

function answer(response, status, text) {
  response.writeHead(status, { 'Content-Type': 'text/plain; charset=utf-8' }).end(`${text}\n`);
}

// The file a request path names under the root, or a status to answer instead.
function fileFor(url) {
  let path;
  try {
    path = decodeURIComponent(new URL(url, 'http://localhost').pathname);
  } catch {
    return { status: 400, text: 'bad request' };  // a lone '%' or a broken escape
  }
  if (path.includes('\0')) return { status: 400, text: 'bad request' };
  const file = normalize(join(root, path.endsWith('/') ? path + 'index.html' : path));
  if (file !== root && !file.startsWith(root + sep)) return { status: 403, text: 'forbidden' };
  return { file };
}

async function serve(request, response) {
  if (request.method !== 'GET' && request.method !== 'HEAD') {
    response.setHeader('Allow', 'GET, HEAD');
    return answer(response, 405, 'method not allowed');
  }
  const { file, status, text } = fileFor(request.url);
  if (!file) return answer(response, status, text);
  let body;
  try {
    body = await readFile(file);
  } catch {
    return answer(response, 404, 'not found');
  }
  // Cross-origin isolated: the page's workers may share memory (SharedArrayBuffer).
  response.writeHead(200, { 'Content-Type': kTypes[extname(file)] ?? 'application/octet-stream',
                            'Content-Length': body.length, 'Cache-Control': 'no-cache',
                            'Cross-Origin-Opener-Policy': 'same-origin',
                            'Cross-Origin-Embedder-Policy': 'require-corp' });
  response.end(request.method === 'HEAD' ? undefined : body);
}

const server = createServer((request, response) => {
  serve(request, response).catch((error) => {
    console.error(`quillvex: ${request.method} ${request.url}: ${error.message}`);
    if (response.headersSent) response.destroy();
    else answer(response, 500, 'internal error');
  });
});

server.on('error', (error) => {
  console.error(`quillvex: can't serve the page on 127.0.0.1:${port}: ${error.message}`);
  process.exit(1);
});
server.listen(port, '127.0.0.1', () => {
  console.log(`Quillvex page: http://127.0.0.1:${server.address().port}/`);
});
