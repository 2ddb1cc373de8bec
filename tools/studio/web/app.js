// The studio's page: the project's state, the five views and the save.
import { api, get, ApiError } from './api.js';
import { el, clear } from './dom.js';
import * as wordsView from './views/words.js';
import * as sentencesView from './views/sentences.js';
import * as triggersView from './views/triggers.js';
import * as optionsView from './views/options.js';
import * as linkView from './views/link.js';

// The token came in the address; the cookie carries it from now on.
if (location.search) history.replaceState(null, '', location.pathname);

const $ = (id) => document.getElementById(id);

const studio = {
  project: null,
  diagnostics: [],

  diagnosticsFor(key) {
    return this.diagnostics.filter((d) => d.key === key);
  },
  edited(key) {
    return this.project && this.project.project.edited.includes(key);
  },

  say(text, isError = false) {
    const status = $('status');
    status.textContent = text;
    status.classList.toggle('error', isError);
  },
  fail(error) {
    this.say(error instanceof ApiError || error instanceof Error ? error.message : String(error), true);
  },

  // Reads the project and its diagnostics again and updates every view.
  async refresh() {
    try {
      const [project, check] = await Promise.all([get('/api/project'), get('/api/check')]);
      this.project = project;
      this.diagnostics = check.diagnostics;
      render();
    } catch (error) {
      this.fail(error);
    }
  },

  // Sets (or with null removes) one entry; the diagnostics come back at once,
  // the views are brought up to date after.
  async setEntry(key, value) {
    const answer = await api('PUT', `/api/entry/${encodeURIComponent(key)}`, { value });
    this.diagnostics = answer.diagnostics;
    renderProblems();
    refreshSoon();
    return answer;
  },

  show(name, key) {
    selectTab(name);
    if (key) views[name].focus?.(key);
  },

  async save() {
    try {
      const answer = await api('POST', '/api/save');
      this.say(answer.message);
      await this.refresh();
      return true;
    } catch (error) {
      if (error.status === 409) {
        $('conflict-message').textContent = error.message;
        $('conflict').showModal();
      } else {
        this.fail(error);
      }
      return false;
    }
  },
};

const views = {
  words: wordsView.create(studio, $('view-words')),
  sentences: sentencesView.create(studio, $('view-sentences')),
  triggers: triggersView.create(studio, $('view-triggers')),
  options: optionsView.create(studio, $('view-options')),
  link: linkView.create(studio, $('view-link')),
};

let refreshTimer = 0;
function refreshSoon() {
  clearTimeout(refreshTimer);
  refreshTimer = setTimeout(() => studio.refresh(), 250);
}

function viewOfKey(key) {
  return { W: 'words', S: 'sentences', T: 'triggers' }[key[0]] || 'options';
}

function renderProblems() {
  const count = (s) => studio.diagnostics.filter((d) => d.severity === s).length;
  const errors = count('error');
  const warnings = count('warning');
  const plural = (n, word) => `${n} ${word}${n === 1 ? '' : 's'}`;
  $('problems-summary').textContent = errors + warnings === 0
    ? 'No problems: the project links'
    : `${plural(errors, 'error')}, ${plural(warnings, 'warning')}${errors ? ': the project does not link' : ''}`;
  clear($('problems-list'), studio.diagnostics.map((d) => el('li', { class: d.severity },
    d.key
      ? el('a', { href: '#', onclick: (e) => { e.preventDefault(); studio.show(viewOfKey(d.key), d.key); } },
        `line ${d.line} ${d.key}`)
      : `line ${d.line}`,
    ': ', d.message)));
}

function render() {
  const p = studio.project.project;
  $('project-name').textContent = `${p.folder.split('/').pop()}/${p.file}`;
  $('project-name').title = `${p.folder}/${p.file}`;
  document.title = `${p.file} — Zelta-900 studio`;
  const n = p.edited.length;
  $('edits').textContent = n ? `${n} unsaved edit${n === 1 ? '' : 's'}` : '';
  renderProblems();
  for (const view of Object.values(views)) view.update();
}

// Tabs: click, arrow keys between them, Alt+1 to Alt+5 from anywhere.
const tabs = [...document.querySelectorAll('[role="tab"]')];
function selectTab(name, focus = false) {
  for (const tab of tabs) {
    const selected = tab.dataset.view === name;
    tab.setAttribute('aria-selected', selected);
    tab.tabIndex = selected ? 0 : -1;
    $(tab.getAttribute('aria-controls')).hidden = !selected;
    if (selected && focus) tab.focus();
  }
  views[name].shown?.();
  history.replaceState(null, '', `#${name}`);
}
for (const tab of tabs) {
  tab.addEventListener('click', () => selectTab(tab.dataset.view));
  tab.addEventListener('keydown', (e) => {
    const i = tabs.indexOf(tab);
    const to = { ArrowRight: i + 1, ArrowLeft: i - 1, Home: 0, End: tabs.length - 1 }[e.key];
    if (to === undefined) return;
    e.preventDefault();
    selectTab(tabs[(to + tabs.length) % tabs.length].dataset.view, true);
  });
}
document.addEventListener('keydown', (e) => {
  if ((e.ctrlKey || e.metaKey) && e.key === 's') {
    e.preventDefault();
    studio.save();
  } else if (e.altKey && e.key >= '1' && e.key <= '5') {
    e.preventDefault();
    selectTab(tabs[Number(e.key) - 1].dataset.view, true);
  }
});

$('save').addEventListener('click', () => studio.save());
const conflictChoice = (keepEdits) => async () => {
  $('conflict').close();
  try {
    await api('POST', '/api/reload', { keepEdits });
    studio.say(keepEdits ? 'Your edits now apply to the file as it is on disk; Save writes them.'
      : 'Reloaded the file from disk.');
    await studio.refresh();
  } catch (error) {
    studio.fail(error);
  }
};
$('conflict-reload').addEventListener('click', conflictChoice(false));
$('conflict-keep').addEventListener('click', conflictChoice(true));
$('conflict-cancel').addEventListener('click', () => $('conflict').close());
window.addEventListener('beforeunload', (e) => {
  if (!studio.project || !studio.project.project.edited.length) return;
  e.preventDefault();
  e.returnValue = '';  // older browsers ask only when it is set
});

selectTab(views[location.hash.slice(1)] ? location.hash.slice(1) : 'words');
studio.refresh();
