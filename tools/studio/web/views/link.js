// Link: link the project into its image beside it, the log as it comes, and
// the image as a picture: its sections to scale by pages, and each word's
// pages inside the word image.
import { ApiError, jsonLines } from '../api.js';
import { el, clear } from '../dom.js';

export function create(studio, root) {
  const image = el('input', { class: 'mono', size: 24, 'aria-label': 'Image file, in the project folder' });
  const button = el('button', { type: 'button', class: 'primary', id: 'link-button', onclick: link }, 'Link');
  const download = el('a', { href: '/api/image', download: '', hidden: true }, 'Download the image');
  const log = el('pre', { class: 'log', id: 'link-log', 'aria-live': 'polite', 'aria-label': 'Link log' });
  const picture = el('div', { id: 'image-picture' });
  root.append(
    el('h2', {}, 'Link'),
    el('p', { class: 'hint' },
      'Links the project file as saved (as zlt900-link does) into the image in the project folder.'),
    el('div', { class: 'toolbar' }, el('label', {}, 'Image', image), button, download),
    log, picture);

  async function link() {
    button.disabled = true;
    try {
      if (studio.project.project.edited.length && !(await studio.save())) return;
      clear(log);
      clear(picture);
      const response = await fetch('/api/link', {
        method: 'POST', credentials: 'same-origin',
        headers: { 'Content-Type': 'application/json', Accept: 'application/x-ndjson' },
        body: JSON.stringify({ image: image.value.trim() || studio.project.project.image }),
      });
      if (!response.ok) throw new ApiError(response.status, await response.json());
      for await (const item of jsonLines(response)) {
        if (item.line !== undefined) {
          log.append(el('span', { class: item.line.startsWith('Err:') ? 'err' : null }, item.line), '\n');
          log.scrollTop = log.scrollHeight;
        } else {
          studio.say(item.success ? `Linked ${item.image}: ${item.pages} pages` : 'The link failed', !item.success);
          download.hidden = !item.success;
          download.textContent = `Download ${item.image || 'the image'}`;
          if (item.success) draw(item);
        }
      }
    } catch (error) {
      studio.fail(error);
    } finally {
      button.disabled = false;
    }
  }

  function draw(result) {
    const sections = result.directory.filter((s) => s.pages > 0);
    const wimg = result.directory.find((s) => s.name === 'ZLT_WIMG.BIN');
    const words = [];
    let page = 0;
    for (const w of [...result.words].sort((a, b) => a.startPage - b.startPage)) {
      if (w.startPage > page) words.push({ free: true, pages: w.startPage - page });
      words.push(w);
      page = w.startPage + w.pages;
    }
    if (wimg && wimg.pages > page) words.push({ free: true, pages: wimg.pages - page });
    clear(picture,
      el('h2', {}, `${result.image}: ${result.pages} pages of 512 bytes`),
      el('div', { class: 'bar', role: 'img', 'aria-label': 'Sections of the image by pages' },
        el('div', { class: 's2', style: 'flex: 1 1 0', title: 'header: page 0' }, 'H'),
        sections.map((s) => el('div', { class: `s${s.type}`, style: `flex: ${s.pages} 1 0`,
          title: `${s.name}: pages ${s.firstPage} to ${s.firstPage + s.pages - 1}` }, s.name))),
      el('div', { class: 'scale' }, el('span', {}, '0'), el('span', {}, String(result.pages))),
      el('h2', {}, `Word image: ${wimg ? wimg.pages : 0} pages`),
      el('div', { class: 'bar words', role: 'img', 'aria-label': 'Pages of each word in the word image' },
        words.map((w) => w.free
          ? el('div', { class: 'free', style: `flex: ${w.pages} 1 0` }, '')
          : el('div', { style: `flex: ${w.pages} 1 0`,
            title: `${w.key}: ${w.pages} pages from page ${w.startPage}, ${w.bits}-bit ${w.rate} Hz` }, w.key))),
      el('p'),
      el('table', {},
        el('tr', {}, ['Section', 'First page', 'Pages', 'Bytes'].map((h) => el('th', {}, h))),
        sections.map((s) => el('tr', {}, el('td', { class: 'mono' }, s.name), el('td', { class: 'num' }, s.firstPage),
          el('td', { class: 'num' }, s.pages), el('td', { class: 'num' }, s.bytes)))));
  }

  return {
    update() {
      if (!image.value) image.value = studio.project.project.image;
      button.textContent = studio.project.project.edited.length ? 'Save and link' : 'Link';
    },
  };
}
