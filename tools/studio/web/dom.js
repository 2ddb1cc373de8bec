// Small helpers to build the views' elements.

// el('td', {class: 'num', title: 'x'}, child, 'text', ...)
export function el(tag, attributes = {}, ...children) {
  const e = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === undefined || value === null || value === false) continue;
    if (name.startsWith('on')) e.addEventListener(name.slice(2), value);
    else if (name === 'dataset') Object.assign(e.dataset, value);
    else if (name === 'style') e.style.cssText = value;  // through the CSSOM, which the page's policy allows
    else e.setAttribute(name, value === true ? '' : value);
  }
  for (const child of children.flat(Infinity)) {
    if (child === undefined || child === null || child === false) continue;
    e.append(child instanceof Node ? child : String(child));
  }
  return e;
}

export function clear(e, ...children) {
  e.replaceChildren(...children.flat(Infinity).filter((c) => c !== undefined && c !== null && c !== false));
  return e;
}

// Keeps one element per item in container, in the items' order. An entry is
// made once per key by make(key) (an object with its element as `root`) and
// brought up to date by update(entry, item), so that an element being
// edited keeps its focus and its text.
export function keyed(container, entries, items, make, update) {
  const keys = new Set(items.map((item) => item.key));
  for (const key of [...entries.keys()]) if (!keys.has(key)) entries.delete(key);
  for (const item of items) {
    if (!entries.has(item.key)) entries.set(item.key, make(item.key));
    update(entries.get(item.key), item);
  }
  const ordered = items.map((item) => entries.get(item.key).root);
  if (ordered.length !== container.children.length || ordered.some((e, i) => container.children[i] !== e))
    clear(container, ordered);
}

// A list of diagnostics, each with its line.
export function diagnosticList(diagnostics) {
  return el('ul', { class: 'diagnostics' },
    diagnostics.map((d) => el('li', { class: d.severity },
      d.line ? `line ${d.line}: ` : '', d.message)));
}

export const key4 = (letter, n) => letter + String(n).padStart(4, '0');

export function debounce(fn, ms) {
  let timer = 0;
  const wrapped = (...args) => {
    clearTimeout(timer);
    timer = setTimeout(() => fn(...args), ms);
  };
  wrapped.flush = (...args) => {
    clearTimeout(timer);
    return fn(...args);
  };
  return wrapped;
}
