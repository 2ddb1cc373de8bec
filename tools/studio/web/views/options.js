// Options: every firmware option and the system keys, with their accepted
// values and defaults; a choice at "default" removes the key.
import { el, clear, diagnosticList, keyed } from '../dom.js';

export function create(studio, root) {
  const body = el('tbody');
  root.append(
    el('h2', {}, 'Options'),
    el('p', { class: 'hint' },
      'Each option of the project file. A key left at its default is not written; "Linked as" is how the link reads the value.'),
    el('table', { class: 'options', id: 'options' },
      el('thead', {}, el('tr', {}, ['Key', 'Value', 'Default', 'Accepted', 'Linked as'].map((h) => el('th', {}, h)))),
      body));

  function control(option) {
    const label = `${option.key} (${option.section})`;
    const send = async (value) => {
      try {
        await studio.setEntry(option.key, value);
      } catch (error) {
        studio.fail(error);
      }
    };
    if (option.accepted) {
      const select = el('select', { 'aria-label': label, onchange: () => send(select.value === '' ? null : select.value) },
        el('option', { value: '' }, option.default === null ? '(not set)' : `default (${option.default})`),
        option.accepted.map((v) => el('option', { value: String(v) }, String(v))));
      return select;
    }
    const input = el('input', {
      class: 'mono', 'aria-label': label, placeholder: option.default ?? '',
      onchange: () => send(input.value.trim() === '' ? null : input.value),
    });
    return input;
  }

  function accepted(option) {
    if (option.accepted) return option.kind === 'choice' ? `${option.accepted.length} modes` : option.accepted.join(', ');
    if (option.kind === 'text') return 'any text';
    if (option.kind === 'signed') return 'a number, -32768 to 65535';
    return `a number, 0 to ${option.bits === 8 ? 255 : 65535} (decimal, 0x or $ hex)`;
  }

  const rows = new Map();  // key -> cells of its row
  function row(key) {
    const option = studio.project.options.find((o) => o.key === key);
    const c = control(option);
    const r = { control: c, diagnostics: el('div'), linked: el('td', { class: 'mono' }) };
    r.root = el('tr', { dataset: { key } },
      el('td', { title: option.section }, key),
      el('td', {}, c, r.diagnostics),
      el('td', { class: 'mono' }, option.default ?? '—'),
      el('td', {}, accepted(option)),
      r.linked);
    return r;
  }

  return {
    update() {
      keyed(body, rows, studio.project.options, row, (r, option) => {
        if (document.activeElement !== r.control) {
          const value = option.value ?? '';
          if (r.control.tagName === 'SELECT' && ![...r.control.options].some((o) => o.value === value))
            r.control.append(el('option', { value }, value));
          r.control.value = value;
        }
        const diagnostics = studio.diagnosticsFor(option.key);
        clear(r.diagnostics, diagnostics.length ? diagnosticList(diagnostics) : null);
        r.root.classList.toggle('edited', studio.edited(option.key));
        r.linked.textContent = option.linked ?? '';
      });
    },
    focus(key) {
      rows.get(key)?.control.focus();
    },
  };
}
