// WAV files from the studio, decoded by the browser, drawn and played.
import { ApiError } from './api.js';

let context = null;

// Fetches a WAV file and decodes it: {buffer, ending}.
export async function fetchAudio(url) {
  const response = await fetch(url, { credentials: 'same-origin' });
  if (!response.ok) {
    const type = response.headers.get('Content-Type') || '';
    throw new ApiError(response.status, type.startsWith('application/json') ? await response.json() : null);
  }
  const bytes = await response.arrayBuffer();
  // An offline context decodes without the user's gesture that playing
  // needs; its rate is the one the samples are resampled to.
  const buffer = await new OfflineAudioContext(1, 1, 48000).decodeAudioData(bytes);
  return { buffer, ending: response.headers.get('X-Studio-Ending') };
}

export function play(buffer) {
  context = context || new AudioContext();
  context.resume();
  const source = context.createBufferSource();
  source.buffer = buffer;
  source.connect(context.destination);
  source.start();
  return source;
}

// The waveform: the range of the samples under each pixel column.
export function drawWave(canvas, buffer) {
  const g = canvas.getContext('2d');
  const samples = buffer.getChannelData(0);
  const mid = canvas.height / 2;
  const step = samples.length / canvas.width;
  g.clearRect(0, 0, canvas.width, canvas.height);
  g.fillStyle = '#1f5fbf';
  for (let x = 0; x < canvas.width; x++) {
    let lo = 1, hi = -1;
    const end = Math.min(samples.length, Math.floor((x + 1) * step));
    for (let i = Math.floor(x * step); i < end; i++) {
      lo = Math.min(lo, samples[i]);
      hi = Math.max(hi, samples[i]);
    }
    if (hi >= lo) g.fillRect(x, mid - hi * mid, 1, Math.max(1, (hi - lo) * mid));
  }
}
