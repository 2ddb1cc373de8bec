// Requests to the studio's API. The page's cookie carries the token; the
// browser adds the Origin that write requests need.

export class ApiError extends Error {
  constructor(status, body) {
    super(typeof body === 'object' && body && body.error ? body.error : `HTTP ${status}`);
    this.status = status;
    this.body = body;
  }
}

export async function api(method, path, body) {
  const init = { method, credentials: 'same-origin', headers: {} };
  if (body instanceof FormData) {
    init.body = body;
  } else if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const response = await fetch(path, init);
  const type = response.headers.get('Content-Type') || '';
  const data = type.startsWith('application/json') ? await response.json() : await response.text();
  if (!response.ok) throw new ApiError(response.status, data);
  return data;
}

export const get = (path) => api('GET', path);

// The query of a player request: the start and the player's options.
export function runQuery(start, options) {
  const q = new URLSearchParams(start);
  for (const [k, v] of Object.entries(options)) if (v !== '' && v !== undefined) q.set(k, v);
  return q.toString();
}

// Reads a response of JSON lines, one object a line, as they come.
export async function* jsonLines(response) {
  const reader = response.body.getReader();
  const decoder = new TextDecoder();
  let buffered = '';
  for (;;) {
    const { value, done } = await reader.read();
    buffered += decoder.decode(value || new Uint8Array(), { stream: !done });
    let lf;
    while ((lf = buffered.indexOf('\n')) >= 0) {
      const line = buffered.slice(0, lf);
      buffered = buffered.slice(lf + 1);
      if (line.trim()) yield JSON.parse(line);
    }
    if (done) break;
  }
}
