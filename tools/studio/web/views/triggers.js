// Triggers: the T keys with their mode letters, sentence and clock condition,
// each editable; the clock triggers on a week's calendar (the player's
// agenda), and the next times each of them speaks.
import { get } from '../api.js';
import { el, clear, diagnosticList, key4, debounce, keyed } from '../dom.js';

const DAYS = ['Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat', 'Sun'];
const pad = (n) => String(n).padStart(2, '0');
const dateText = (d) => `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())}`;
const timeText = (d) => `${dateText(d)} ${pad(d.getHours())}:${pad(d.getMinutes())}`;

function mondayOf(date) {
  const d = new Date(date.getFullYear(), date.getMonth(), date.getDate());
  d.setDate(d.getDate() - ((d.getDay() + 6) % 7));
  return d;
}

export function create(studio, root) {
  const rows = new Map();  // key -> row
  const body = el('tbody');
  const newNumber = el('input', { type: 'number', min: 0, max: 8191, style: 'width:6rem', 'aria-label': 'Number of a new trigger' });
  const weekLabel = el('strong');
  const week = el('div', { class: 'week', id: 'week', role: 'grid', 'aria-label': 'Clock triggers this week' });
  const clockNote = el('p', { class: 'hint' });
  let monday = mondayOf(new Date());
  let next = new Map();  // trigger -> next times
  let agendaStale = false;

  root.append(
    el('h2', {}, 'Triggers'),
    el('p', { class: 'hint' },
      'An entry is mode letters + sentence, and for the clock triggers T7808 to T7935 a clock condition: LUN + S0001 + MON~FRI/8~17:0.'),
    el('div', { class: 'two' },
      el('div', {},
        el('table', { id: 'triggers' },
          el('thead', {}, el('tr', {}, ['Key', 'Entry', 'Modes', 'Sentence', 'Clock', 'Next times']
            .map((h) => el('th', {}, h)))),
          body),
        el('div', { class: 'toolbar' }, el('p'),
          el('label', {}, 'New trigger T', newNumber), el('button', { type: 'button', onclick: addTrigger }, 'Add'))),
      el('div', {},
        el('h2', {}, 'Clock triggers in the week'),
        clockNote,
        el('div', { class: 'toolbar' },
          el('button', { type: 'button', 'aria-label': 'Previous week', onclick: () => moveWeek(-7) }, '◀'),
          el('button', { type: 'button', onclick: () => { monday = mondayOf(new Date()); loadWeek(); } }, 'This week'),
          el('button', { type: 'button', 'aria-label': 'Next week', onclick: () => moveWeek(7) }, '▶'),
          weekLabel),
        week)));

  async function addTrigger() {
    const n = Number(newNumber.value);
    if (!newNumber.value || n < 0 || n > 8191) return studio.say('A trigger number is 0 to 8191.', true);
    const key = key4('T', n);
    const first = studio.project.sentences[0];
    const value = `LUN + ${first ? first.key : 'N'}${n >= 7808 && n <= 7935 ? ' + 8:0' : ''}`;
    if (!rows.has(key)) await studio.setEntry(key, value).catch((e) => studio.fail(e));
    await studio.refresh();
    rows.get(key)?.input.focus();
  }

  function moveWeek(days) {
    monday = new Date(monday.getFullYear(), monday.getMonth(), monday.getDate() + days);
    loadWeek();
  }

  async function loadWeek() {
    const end = new Date(monday.getFullYear(), monday.getMonth(), monday.getDate() + 7);
    weekLabel.textContent = `${dateText(monday)} to ${dateText(new Date(end - 1))}`;
    const cells = Array.from({ length: 24 }, () => DAYS.map(() => []));
    try {
      const agenda = await get(`/api/agenda?from=${dateText(monday)}&to=${dateText(end)}`);
      for (const e of agenda.entries) {
        const [date, time] = e.time.split(' ');
        const day = Math.round((new Date(`${date}T00:00`) - monday) / 86400000);
        const hour = Number(time.slice(0, 2));
        if (day >= 0 && day < 7) cells[hour][day].push(e);
      }
    } catch (error) {
      studio.fail(error);
    }
    // The hours from the first to the last that a trigger speaks in.
    const spoken = cells.map((row, hour) => (row.some((c) => c.length) ? hour : -1)).filter((h) => h >= 0);
    const grid = [el('div', { class: 'day' }), DAYS.map((d, i) => el('div', { class: 'day', role: 'columnheader' },
      `${d} ${new Date(monday.getFullYear(), monday.getMonth(), monday.getDate() + i).getDate()}`))];
    for (let hour = spoken[0] ?? 24; hour <= (spoken.at(-1) ?? -1); hour++) {
      grid.push(el('div', { class: 'hour' }, `${pad(hour)}:00`));
      cells[hour].forEach((entries) => grid.push(el('div', { role: 'gridcell' }, entries.slice(0, 2).map((e) =>
        el('span', { class: 'chip', title: `${e.time}: T${e.trigger} plays S${e.sentence}` },
          `${e.time.endsWith(':00') ? '' : e.time.slice(13) + ' '}T${e.trigger}`)), entries.length > 2 ? `+${entries.length - 2}` : '')));
    }
    if (!spoken.length) grid.push(el('div', { class: 'hour' }), el('div', { class: 'none' }, 'No clock trigger speaks in this week.'));
    clear(week, grid);
  }

  async function loadNext() {
    next = new Map();
    const now = new Date();
    const end = new Date(now.getFullYear() + 1, now.getMonth(), now.getDate() + 1);
    try {
      const agenda = await get(`/api/agenda?from=${encodeURIComponent(timeText(now))}&to=${dateText(end)}`);
      for (const e of agenda.entries) {
        if (!next.has(e.trigger)) next.set(e.trigger, []);
        if (next.get(e.trigger).length < 3) next.get(e.trigger).push(e.time.slice(5));
      }
    } catch {
      // The project does not link: the entries' diagnostics say why.
    }
    for (const row of rows.values()) row.next.textContent = (next.get(row.number) || []).join(', ');
  }

  function makeRow(key) {
    const row = { key, number: Number(key.slice(1)) };
    row.input = el('input', { class: 'mono', size: 28, spellcheck: 'false', 'aria-label': `Entry of ${key}` });
    row.modes = el('td', { class: 'mono' });
    row.sentence = el('td', { class: 'mono' });
    row.clock = el('td', { class: 'mono' });
    row.next = el('td', { class: 'mono' });
    row.diagnostics = el('div');
    const send = debounce(async () => {
      try {
        await studio.setEntry(key, row.input.value);
        row.diagnostics.replaceChildren(diagnosticList(studio.diagnosticsFor(key)));
      } catch (error) {
        studio.fail(error);
      }
    }, 300);
    row.input.addEventListener('input', send);
    row.root = el('tr', { dataset: { key } },
      el('td', { class: 'mono' }, key),
      el('td', {}, row.input, row.diagnostics), row.modes, row.sentence, row.clock, row.next);
    return row;
  }

  function update(row, trigger) {
    if (document.activeElement !== row.input) row.input.value = trigger.text;
    row.root.classList.toggle('edited', studio.edited(row.key));
    const b = trigger.bound;
    const fields = trigger.fields || {};
    row.modes.textContent = b ? b.modes : fields.modes || '';
    row.sentence.textContent = b ? (b.sentence === null ? '' : key4('S', b.sentence)) : fields.sentence || '';
    row.clock.textContent = b && b.clock ? b.clock.text : (trigger.isClock ? fields.clock || '' : '');
    const diagnostics = studio.diagnosticsFor(row.key);
    clear(row.diagnostics, diagnostics.length ? diagnosticList(diagnostics) : null);
  }

  return {
    update() {
      keyed(body, rows, studio.project.triggers, makeRow, update);
      const p = studio.project;
      clockNote.textContent = !p.preview.links
        ? 'The project does not link now: the calendar shows it as it last linked.'
        : p.readsClock ? `The trigger mode ${p.triggerMode} runs the clock triggers.`
          : `The trigger mode ${p.triggerMode} does not read the clock triggers: choose a mode ending in _M2 under Options.`;
      agendaStale = p.preview.links;
      if (!root.hidden) this.shown();
    },
    // The agenda is asked for when it can be had and is seen.
    shown() {
      if (!agendaStale) return;
      agendaStale = false;
      loadWeek();
      loadNext();
    },
    focus(key) {
      rows.get(key)?.input.focus();
    },
  };
}
