// Words: each W key with its clip's facts, the sentences that play it, its
// waveform; play it; drop an audio file to add a word.
import { api } from '../api.js';
import { el, clear, diagnosticList, key4 } from '../dom.js';
import { fetchAudio, play, drawWave } from '../audio.js';

export function create(studio, root) {
  const decoded = new Map();  // "W0001 clip" -> promise of the decoded clip
  const rate = el('select', { 'aria-label': 'Rate of the new clip' },
    el('option', { value: '' }, 'rate: as the file'),
    [8000, 11025, 16000, 22050, 24000, 32000, 40000, 44100, 48000].map((r) => el('option', { value: r }, `${r} Hz`)));
  const bits = el('select', { 'aria-label': 'Sample width of the new clip' },
    el('option', { value: '16' }, '16-bit'), el('option', { value: '8' }, '8-bit'));
  const chooser = el('input', { type: 'file', accept: 'audio/*,.wav,.flac,.aiff,.ogg', hidden: true,
    onchange: () => chooser.files[0] && add(chooser.files[0]) });
  const drop = el('div', { class: 'drop', id: 'word-drop' },
    'Drop an audio file here to add a word (WAV, FLAC, AIFF, OGG): it becomes a clip in the project folder and a new W key. ',
    el('button', { type: 'button', onclick: () => chooser.click() }, 'Choose a file…'), ' ', rate, ' ', bits, chooser);
  drop.addEventListener('dragover', (e) => { e.preventDefault(); drop.classList.add('over'); });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (e) => {
    e.preventDefault();
    drop.classList.remove('over');
    if (e.dataTransfer.files[0]) add(e.dataTransfer.files[0]);
  });
  const body = el('tbody');
  root.append(
    el('h2', {}, 'Words'),
    el('p', { class: 'hint' }, 'The clips the sentences play. Only words that a sentence plays go into the image.'),
    el('table', { id: 'words' },
      el('thead', {}, el('tr', {}, ['Key', 'Clip', 'Format', 'Rate', 'Length', 'Pages', 'Used by', 'Waveform', '']
        .map((h, i) => el('th', { class: i >= 3 && i <= 5 ? 'num' : null }, h)))),
      body),
    el('p'), drop);

  async function add(file) {
    const form = new FormData();
    form.append('file', file, file.name);
    if (rate.value) form.append('rate', rate.value);
    form.append('bits', bits.value);
    studio.say(`Encoding ${file.name}…`);
    try {
      const answer = await api('POST', '/api/words', form);
      studio.say(`${answer.key} = ${answer.clip}: ${answer.seconds.toFixed(2)} s at ${answer.rate} Hz, ${answer.bits}-bit (not saved yet)`);
      await studio.refresh();
    } catch (error) {
      studio.fail(error);
    }
  }

  function audioOf(word) {
    const id = `${word.key} ${word.clip}`;
    if (!decoded.has(id)) decoded.set(id, fetchAudio(`/api/word/${word.number}.wav`));
    return decoded.get(id);
  }

  function row(word) {
    const f = word.format;
    const canvas = el('canvas', { class: 'wave', width: 480, height: 80, 'aria-label': `Waveform of ${word.key}` });
    const diagnostics = studio.diagnosticsFor(word.key);
    const tr = el('tr', { dataset: { key: word.key }, class: studio.edited(word.key) ? 'edited' : null },
      el('td', { class: 'mono' }, word.key),
      el('td', { class: 'mono' }, word.clip, word.error ? el('div', { class: 'hint' }, word.error) : null,
        diagnostics.length ? diagnosticList(diagnostics) : null),
      el('td', {}, f ? `${f.bits}-bit` : ''),
      el('td', { class: 'num' }, f ? `${f.rate} Hz` : ''),
      el('td', { class: 'num' }, f ? `${f.seconds.toFixed(2)} s` : ''),
      el('td', { class: 'num' }, f ? f.pages : ''),
      el('td', { class: 'used-by' }, word.usedBy.length ? word.usedBy.map((s) =>
        el('button', { type: 'button', onclick: () => studio.show('sentences', key4('S', s)) }, key4('S', s))) : '—'),
      el('td', {}, f ? canvas : ''),
      el('td', {}, f ? el('button', { type: 'button', 'aria-label': `Play ${word.key}`, onclick: async () => {
        try {
          play((await audioOf(word)).buffer);
        } catch (error) {
          studio.fail(error);
        }
      } }, '▶ Play') : ''));
    if (f) audioOf(word).then((a) => drawWave(canvas, a.buffer)).catch(() => {});
    return tr;
  }

  return {
    update() {
      clear(body, studio.project.words.map(row));
    },
    focus(key) {
      body.querySelector(`tr[data-key="${key}"] button`)?.focus();
    },
  };
}
