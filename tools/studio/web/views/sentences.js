// Sentences: each S key's text, edited with the checker's diagnostics under
// the text as you type, its steps coloured by kind, the disassembly of its
// code beside it; play it and trace it.
import { get, runQuery } from '../api.js';
import { el, clear, diagnosticList, key4, debounce, keyed } from '../dom.js';
import { fetchAudio, play } from '../audio.js';

const hex4 = (n) => n.toString(16).toUpperCase().padStart(4, '0');

function stepKind(step) {
  if (step.startsWith('W')) return 'word';
  if (step.startsWith('M') || step === 'N') return 'mute';
  if (step.startsWith('^BLK_')) return 'block';
  if (step.startsWith('^REM_')) return 'remark';
  if (/^\^(D?J|CALL_)/.test(step)) return 'jump';
  return step.startsWith('^') ? 'instruction' : 'bad';
}

// The text as spans: each step in the colour of its kind, a remark after a
// blank, the separators; the places of the diagnostics underlined.
export function highlight(text, diagnostics) {
  const kind = new Array(text.length).fill('');
  for (let i = 0; i < text.length;) {
    if (text[i] === '+' || text[i] === ';') {
      kind[i++] = 'sep';
      continue;
    }
    let end = i;
    while (end < text.length && text[end] !== '+' && text[end] !== ';') end++;
    let s = i;
    while (s < end && (text[s] === ' ' || text[s] === '\t')) s++;
    let e = s;
    while (e < end && text[e] !== ' ') e++;
    const k = stepKind(text.slice(s, e));
    for (let c = s; c < end; c++) kind[c] = c < e ? k : 'remark';
    i = end;
  }
  const marked = new Array(text.length + 1).fill('');
  for (const d of diagnostics) {
    if (d.valueOffset === undefined || d.severity === 'note') continue;
    const from = Math.min(d.valueOffset, text.length);
    const to = Math.min(text.length + 1, from + Math.max(d.length, 1));
    for (let c = from; c < to; c++) if (marked[c] !== 'error') marked[c] = d.severity;
  }
  const spans = [];
  for (let i = 0; i <= text.length;) {
    let j = i + 1;
    while (j < text.length && kind[j] === kind[i] && marked[j] === marked[i]) j++;
    const chunk = i < text.length ? text.slice(i, j) : ' ';  // a place after the text for a fault at its end
    const classes = [kind[i] ? `k-${kind[i]}` : '', marked[i] ? `d-${marked[i]}` : ''].join(' ').trim();
    spans.push(classes ? el('span', { class: classes }, chunk) : chunk);
    i = j;
  }
  return spans;
}

export function create(studio, root) {
  const cards = new Map();  // key -> card
  const at = el('input', { type: 'datetime-local', step: 1, 'aria-label': 'Clock at the start' });
  const inputs = el('input', { class: 'mono', size: 8, placeholder: '00000000', 'aria-label': 'Input bits (hex)' });
  const seed = el('input', { class: 'mono', size: 6, placeholder: '0', 'aria-label': 'Random seed' });
  const newNumber = el('input', { type: 'number', min: 0, max: 8191, style: 'width:6rem', 'aria-label': 'Number of a new sentence' });
  const list = el('div', { class: 'cards', id: 'sentences' });
  root.append(
    el('h2', {}, 'Sentences'),
    el('div', { class: 'toolbar' },
      el('label', {}, 'Clock', at), el('label', {}, 'Inputs', inputs), el('label', {}, 'Seed', seed),
      el('span', { class: 'hint' }, 'Play and Trace run the sentence as the module would (Ctrl+Enter in a text plays it).'),
      el('label', {}, 'New sentence S', newNumber),
      el('button', { type: 'button', onclick: addSentence }, 'Add')),
    list);

  function playOptions() {
    return { at: at.value ? at.value.replace('T', ' ') : '', inputs: inputs.value.trim(), seed: seed.value.trim() };
  }

  async function addSentence() {
    const n = Number(newNumber.value);
    if (!newNumber.value || n < 0 || n > 8191) return studio.say('A sentence number is 0 to 8191.', true);
    const key = key4('S', n);
    if (!cards.has(key)) await studio.setEntry(key, 'N').catch((e) => studio.fail(e));
    await studio.refresh();
    cards.get(key)?.textarea.focus();
  }

  function makeCard(key) {
    const card = { key, sentence: null, lastSteps: null };
    card.pre = el('pre', { 'aria-hidden': 'true' });
    card.textarea = el('textarea', { spellcheck: 'false', rows: 1, 'aria-label': `Text of ${key}` });
    card.meta = el('span', { class: 'meta' });
    card.played = el('span', { class: 'played', 'aria-live': 'polite' });
    card.diagnostics = el('div');
    card.disasm = el('table', { class: 'disasm', 'aria-label': `Code of ${key}` });
    card.trace = el('pre', { class: 'trace', hidden: true });
    const send = debounce(async (value) => {
      try {
        await studio.setEntry(key, value);
        paint(card);
      } catch (error) {
        studio.fail(error);
      }
    }, 300);
    card.textarea.addEventListener('input', () => {
      const value = card.textarea.value.replace(/[\r\n]+/g, ' ');
      if (value !== card.textarea.value) card.textarea.value = value;
      card.pending = true;
      paint(card, []);
      send(value);
    });
    card.textarea.addEventListener('keydown', (e) => {
      if (e.key !== 'Enter') return;
      e.preventDefault();
      if (e.ctrlKey) run(card, false);
    });
    card.textarea.addEventListener('blur', () => { card.pending = false; });
    const number = Number(key.slice(1));
    card.root = el('article', { class: 'card', dataset: { key } },
      el('div', { class: 'card-head' },
        el('span', { class: 'key' }, key), card.meta, card.played,
        el('button', { type: 'button', class: 'play', onclick: () => run(card, false) }, '▶ Play'),
        el('button', { type: 'button', class: 'trace-button', onclick: () => run(card, true) }, 'Trace'),
        el('button', { type: 'button', title: `Remove ${key} from the project`, onclick: async () => {
          await studio.setEntry(key, null).catch((e) => studio.fail(e));
          studio.refresh();
        } }, 'Remove')),
      el('div', { class: 'card-body' },
        el('div', {}, el('div', { class: 'editor' }, card.pre, card.textarea), card.diagnostics),
        card.disasm),
      card.trace);
    card.number = number;
    return card;
  }

  async function run(card, trace) {
    const query = runQuery({ sentence: card.number }, playOptions());
    try {
      if (trace) {
        const t = await get(`/api/trace?${query}`);
        card.trace.hidden = false;
        card.trace.textContent = t.text;
        card.played.textContent = `${t.lengthMs} ms, ${t.message}`;
      } else {
        card.played.textContent = 'playing…';
        const audio = await fetchAudio(`/api/play.wav?${query}`);
        card.played.textContent = `${audio.buffer.duration.toFixed(2)} s, ended by ${audio.ending}`;
        play(audio.buffer);
      }
    } catch (error) {
      card.played.textContent = '';
      studio.fail(error);
    }
  }

  // Draws the text with its diagnostics (those given, or the studio's).
  function paint(card, diagnostics = studio.diagnosticsFor(card.key)) {
    clear(card.pre, highlight(card.textarea.value, diagnostics));
    clear(card.diagnostics, diagnostics.length ? diagnosticList(diagnostics) : null);
  }

  function update(card, sentence) {
    card.sentence = sentence;
    if (document.activeElement !== card.textarea && !card.pending) card.textarea.value = sentence.text;
    paint(card);
    card.root.classList.toggle('edited', studio.edited(card.key));
    // While the project does not link, what its last link told.
    if (studio.project.preview.links) card.triggers = sentence.triggers;
    card.meta.textContent = card.triggers?.length
      ? `started by ${card.triggers.map((t) => key4('T', t)).join(', ')}` : '';
    const steps = sentence.steps || card.lastSteps;
    if (sentence.steps) card.lastSteps = sentence.steps;
    card.disasm.classList.toggle('stale', !sentence.steps);
    clear(card.disasm, steps ? [
      el('tr', {}, ['Step', 'Unit', 'Code', 'Text'].map((h) => el('th', {}, h))),
      steps.map((s, i) => el('tr', {},
        el('td', {}, i), el('td', {}, s.unit ?? ''), el('td', {}, s.code === undefined ? '' : hex4(s.code)),
        el('td', { class: `k-${s.kind}` }, s.text)))] : el('tr', {}, el('td', { class: 'hint' }, 'no code: the project does not link')));
  }

  return {
    update() {
      keyed(list, cards, studio.project.sentences, makeCard, update);
    },
    focus(key) {
      cards.get(key)?.textarea.focus();
    },
  };
}
