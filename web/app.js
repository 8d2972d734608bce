// The import wizard's pages, drawn from the JSON interface of `kestrel serve`.
// Every text from the server is set as text (never as markup).
'use strict';

const main = () => document.getElementById('main');

// The token came in the address that kestrel serve printed. It leaves the
// address bar (and the history) at once and stays in this tab's session
// storage, which no page of another origin (another port included) reads.
// Every call sends it as a header; the browser never sends it by itself,
// as it would a cookie, to this server or to another one on this machine.
const token = (() => {
  const fromAddress = new URLSearchParams(location.search).get('token');
  if (fromAddress !== null) {
    sessionStorage.setItem('kestrel-token', fromAddress);
    history.replaceState(null, '', '/' + location.hash);
  }
  return sessionStorage.getItem('kestrel-token') || '';
})();

// Without a token that the wizard takes (none, or one of an earlier start
// of the wizard) no call answers: the wizard's page on how to open it says
// what to do instead.
function openWithAddress() {
  sessionStorage.removeItem('kestrel-token');
  location.replace('/open');
}

function el(tag, attrs = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (k === 'class') node.className = v;
    else if (k.startsWith('on')) node.addEventListener(k.slice(2), v);
    else if (v !== false && v !== undefined && v !== null) node.setAttribute(k, v === true ? '' : v);
  }
  for (const c of children.flat()) if (c !== null && c !== undefined) node.append(c instanceof Node ? c : String(c));
  return node;
}

async function api(path, body) {
  const headers = { Authorization: 'Bearer ' + token };
  const init = body === undefined ? { headers }
    : { method: 'POST', headers: { ...headers, 'Content-Type': 'application/json' }, body: JSON.stringify(body) };
  const res = await fetch('/api/' + path, init);
  if (res.status === 403) openWithAddress();
  const data = await res.json();
  return { status: res.status, ok: res.ok, data };
}

// An error as the wizard says it to a person: its sentence, then what to do
// (the engine's description, meant for scripts, stays in the answer).
function errorPanel(id, error, lines = []) {
  const e = error || { sentence: 'The wizard gave no answer.', hint: 'Check that it still runs.' };
  return el('div', { id, class: 'panel refused' }, el('h3', {}, e.sentence || e.description),
    lines.length ? el('ul', { class: 'messages' }, lines.map(l => el('li', {}, l))) : null,
    e.hint ? el('p', { class: 'hint' }, e.hint) : null,
    e.number !== undefined ? el('p', { class: 'muted number' }, `Error ${e.number}`) : null);
}

function errorPage(title, data) {
  show(title, errorPanel('page-error', data && data.error));
}

function show(title, ...content) {
  main().replaceChildren(el('h2', {}, title), ...content);
}

// A table scrolls sideways in its own box on a narrow screen; the page does not.
function tableBox(t) {
  return el('div', { class: 'table-box' }, t);
}

function table(head, rows, numeric = []) {
  return tableBox(el('table', {},
    el('thead', {}, el('tr', {}, head.map((h, i) => el('th', { class: numeric.includes(i) ? 'num' : '' }, h)))),
    el('tbody', {}, rows.map(r => el('tr', {}, r.map((c, i) => el('td', { class: numeric.includes(i) ? 'num' : '' }, c)))))));
}

// ---- Profiles: the list and the derivation tree ----
async function profilesPage() {
  const { ok, data } = await api('profiles');
  if (!ok) return errorPage('Profiles', data);
  document.getElementById('store').textContent = data.store;
  const rows = data.profiles.map(p => [p.profile, p.source_application, p.target_application, p.parent, p.depth,
    `${p.version}/${p.release}/${p.customer}`, p.rule_rows, p.description]);
  const branch = nodes => el('ul', {}, nodes.map(n => el('li', {},
    el('strong', {}, String(n.profile)), ` ${n.source_application} → ${n.target_application} `,
    el('span', { class: 'muted' }, n.description), n.children.length ? branch(n.children) : null)));
  const tree = branch(data.tree);
  tree.className = 'tree';
  show('Profiles', el('p', { class: 'muted' }, `${data.profiles.length} profiles in the store.`),
    table(['Profile', 'Source', 'Target', 'Parent', 'Depth', 'VRC', 'Rule rows', 'Description'], rows, [0, 3, 4, 6]),
    el('h3', {}, 'Derivation tree'), tree);
}

// ---- Export of a profile with its options ----
async function exportPage() {
  const { ok, data } = await api('profiles');
  if (!ok) return errorPage('Export', data);
  const check = (name, text) => el('label', { class: 'check' }, el('input', { type: 'checkbox', name }), ' ', text);
  const result = el('div', { id: 'export-result' });
  const form = el('form', { class: 'grid', id: 'export-form' },
    el('label', { for: 'profile' }, 'Profile'),
    el('select', { id: 'profile', name: 'profile' }, data.profiles.map(p =>
      el('option', { value: p.profile }, `${p.profile}: ${p.source_application} → ${p.target_application}, ${p.description}`))),
    check('single', 'Single profile: fold the base profiles’ rules into this one'),
    check('traverse_parent', 'Take each object’s rules from the nearest base profile (single profile only)'),
    el('label', { for: 'new_number' }, 'New number'),
    el('input', { type: 'number', id: 'new_number', name: 'new_number', min: 0, max: 32767, placeholder: 'keep (single profile only)' }),
    el('label', { for: 'based_on' }, 'Based on'),
    el('input', { type: 'number', id: 'based_on', name: 'based_on', min: 0, max: 32767, placeholder: 'all base profiles' }),
    check('revisions', 'With the revision history'),
    check('sync', 'For synchronisation (with the rules of development VRCs)'),
    check('overwrite', 'Write again into an existing pack folder'),
    el('span'), el('div', {}, el('button', { type: 'submit', id: 'export-button' }, 'Export')));
  form.addEventListener('submit', async e => {
    e.preventDefault();
    const f = new FormData(form);
    const number = n => (f.get(n) ? Number(f.get(n)) : 0);
    const request = { profile: Number(f.get('profile')), new_number: number('new_number'), based_on: number('based_on') };
    for (const n of ['single', 'traverse_parent', 'revisions', 'sync', 'overwrite']) request[n] = f.get(n) === 'on';
    const r = await api('export', request);
    result.replaceChildren(r.ok
      ? el('div', { class: 'panel passed' }, 'Exported to ', el('code', {}, r.data.folder), '. ',
          el('a', { href: '#/pack/' + encodeURIComponent(r.data.pack) }, 'Open the pack'))
      : errorPanel('export-refused', r.data.error));
  });
  show('Export a profile', form, result);
}

// ---- The packs below the export root ----
async function packsPage() {
  const { ok, data } = await api('packs');
  if (!ok) return errorPage('Packs', data);
  const rows = data.packs.map(p => [
    el('a', { href: '#/pack/' + encodeURIComponent(p.name) }, p.name),
    p.problem ? el('span', { class: 'error' }, p.problem) : p.export_succeeded ? 'succeeded' : el('span', { class: 'error' }, 'failed'),
    (p.profiles || []).map(x => x.profile).join(', ')]);
  show('Packs', el('p', { class: 'muted' }, 'Below ', el('code', {}, data.root), '.'),
    rows.length ? table(['Pack', 'Export', 'Profiles'], rows) : el('p', {}, 'No pack yet: export a profile first.'));
}

// ---- A pack: its details as an editable target list, verify, dry run, import ----
const MARKS = {
  profile: ['held', 'in store', n => `The store already holds profile ${n}: the import replaces it.`],
  source_application: ['held', 'in store', a => `The store already holds application ${a}: the import replaces its data.`],
  target_application: ['held', 'in store', a => `The store already holds application ${a}: the import replaces its data.`],
  parent: ['missing', 'not in store', n => n === 0 ? 'No parent: the profile becomes a root of the hierarchy.'
    : `The store does not hold profile ${n}: it must come with this pack.`],
};

function badge(field, entry) {
  if (!entry.marked || !entry.marked[field]) return null;
  const [kind, text, title] = MARKS[field];
  return el('span', { class: 'badge ' + kind, title: title(entry[field]) }, text);
}

function targetsOf(tbody) {
  return [...tbody.rows].map(r => [...r.querySelectorAll('input.field')].map(i => i.value.trim())
    .concat([r.dataset.sourceExtn, r.dataset.targetExtn]));
}

function messagesPanel(id, passed, title, lines) {
  return el('div', { id, class: 'panel ' + (passed ? 'passed' : 'refused') }, el('h3', {}, title),
    lines.length ? el('ul', { class: 'messages' }, lines.map(l => el('li', {}, l))) : null);
}

function summaryPanel(id, s) {
  const tables = Object.entries(s.tables).map(([t, c]) => [t, c.deleted, c.added]);
  return el('div', { id, class: 'panel passed' },
    el('h3', {}, s.dry_run ? 'Dry run: what this import would change (everything was rolled back)'
      : `Imported and committed in ${s.seconds.toFixed(2)} s`),
    el('ul', { class: 'messages' },
      s.imported.map(i => el('li', {}, `pack profile ${i.pack_profile} ${s.dry_run ? 'would be' : 'was'} imported as profile ${i.profile} (${i.source_application} → ${i.target_application})`)),
      el('li', {}, 'profiles replaced: ' + (s.profiles_replaced.join(', ') || 'none')),
      el('li', {}, 'applications replaced: ' + (s.applications_replaced.join(', ') || 'none'))),
    // Three tables side by side keep the summary within one screen.
    el('div', { class: 'columns' }, [0, 1, 2].map(k => {
      const part = tables.slice(Math.ceil(tables.length / 3) * k, Math.ceil(tables.length / 3) * (k + 1));
      return part.length ? table(['Table', 'Deleted', 'Added'], part, [1, 2]) : null;
    })));
}

async function packPage(name) {
  const { ok, data } = await api('packs/' + encodeURIComponent(name));
  if (!ok) return errorPage('Pack ' + name, data);
  const c = data.contents;
  const facts = el('p', { class: 'muted' },
    `Export ${c.export_succeeded ? 'succeeded' : 'failed'}; revisions: ${c.revisions ? 'yes' : 'no'}; for synchronisation: ${c.for_sync ? 'yes' : 'no'}; `,
    `applications: ${c.applications.join(', ')}; integrity sums: ${!c.sums.present ? 'none' : c.sums.match ? 'every file matches' : 'the pack was changed after its export'}.`);
  const tbody = el('tbody');
  const drawTargets = targets => {
    tbody.replaceChildren(...data.details.source.map((s, i) => {
      const t = targets[i] || {};
      const input = (field, label, type) => el('td', {},
        el('input', { class: 'field', type, name: `${field}-${i}`, 'aria-label': label, value: t[field] ?? '' }), badge(field, t));
      const row = el('tr', {}, el('td', { class: 'num' }, i), el('td', { class: 'num' }, s.profile), el('td', {}, s.source_application),
        el('td', {}, s.target_application), el('td', { class: 'num' }, s.parent),
        el('td', { class: 'sep' }, el('input', { class: 'field', type: 'number', name: `profile-${i}`, 'aria-label': `Import pack profile ${s.profile} as`, value: t.profile ?? '' }), badge('profile', t)),
        input('source_application', 'Source application', 'text'), input('target_application', 'Target application', 'text'),
        input('parent', 'Parent', 'number'));
      row.dataset.sourceExtn = t.source_extn ?? s.source_extn;
      row.dataset.targetExtn = t.target_extn ?? s.target_extn;
      return row;
    }));
  };
  drawTargets(data.details.target);
  const targetTable = el('table', { id: 'targets' },
    el('thead', {}, el('tr', {}, ['#', 'Pack profile', 'Source app', 'Target app', 'Parent'].map(h => el('th', {}, h)),
      el('th', { class: 'sep' }, 'Import as'), ['Source app', 'Target app', 'Parent'].map(h => el('th', {}, h)))),
    tbody);
  const results = el('div', { id: 'results' });
  const buttons = [];
  const busy = on => buttons.forEach(b => { b.disabled = on; });
  const request = () => ({ pack: name, targets: targetsOf(tbody) });
  const refused = r => results.replaceChildren(errorPanel('run-result', r.data.error, r.data.verdict ? r.data.verdict.messages : []));

  // The verdict on the target list as it stands; null when it does not pass
  // (the page says why), else what the import would replace.
  const verdict = async () => {
    const r = await api('verify', request());
    if (!r.ok) {
      refused(r);
      return null;
    }
    drawTargets(r.data.target);
    if (!r.data.passed) {
      results.replaceChildren(messagesPanel('verify-result', false, 'The selection does not pass:', r.data.messages));
      return null;
    }
    return r.data;
  };
  const verify = async () => {
    const v = await verdict();
    if (!v) return;
    const lines = v.messages.slice();
    if (v.replaces.length) lines.push('The import replaces what the store holds: ' + v.replaces.join(', ') + '.');
    results.replaceChildren(messagesPanel('verify-result', true, 'The selection passes.', lines));
  };
  // Whether every file the import loads reads and converts, changing nothing.
  const check = async () => {
    const r = await api('check', request());
    results.replaceChildren(r.ok
      ? messagesPanel('check-result', true, 'The pack passes the check: every file the import loads can be read and converted.', [])
      : errorPanel('check-result', r.data.error, r.data.refused_at ? ['In ' + r.data.refused_at] : []));
  };
  const run = async (dryRun, replaces = []) => {
    const body = dryRun ? request() : { ...request(), replace: replaces.length > 0, replaces };
    const r = await api(dryRun ? 'dry-run' : 'import', body);
    if (!r.ok) return refused(r);
    const line = el('p', { class: 'progress', id: 'progress' }, 'starting…');
    results.replaceChildren(el('div', { class: 'panel' }, el('h3', {}, dryRun ? 'Dry run running' : 'Import running'), line));
    for (;;) {
      const p = (await api('progress')).data;
      if (p.state !== 'running') {
        if (p.state === 'done') results.replaceChildren(summaryPanel(dryRun ? 'dry-run-result' : 'import-result', p.result.summary));
        else results.replaceChildren(errorPanel('run-result', p.result.error,
          p.result.refused_at ? ['Refused before anything was deleted or imported: ' + p.result.refused_at] : []));
        return;
      }
      const count = p.total ? `${p.done} of ${p.total} (${Math.floor(100 * p.done / p.total)} %)` : p.done;
      line.textContent = [p.step, p.step ? count : '', ...p.notices].filter(Boolean).join(' · ') || 'running…';
      await new Promise(ok => setTimeout(ok, 200));
    }
  };
  // The import deletes what it replaces: it runs only once the person has
  // read what that is and confirmed; the server refuses it should the store
  // have changed meanwhile.
  const importAfterConsent = async () => {
    const v = await verdict();
    if (!v) return;
    const imports = v.target.map((t, i) => `pack profile ${data.details.source[i].profile} as profile ${t.profile}`);
    if (await confirmImport(name, imports, v.replaces)) return run(false, v.replaces);
    results.replaceChildren(el('p', { class: 'panel', id: 'import-cancelled' }, 'Import cancelled: the store is unchanged.'));
  };
  const button = (id, text, action, cls) => {
    const b = el('button', { id, type: 'button', class: cls || '' }, text);
    b.addEventListener('click', async () => { busy(true); try { await action(); } finally { busy(false); } });
    buttons.push(b);
    return b;
  };
  show('Pack ' + name, facts,
    el('p', { class: 'muted' }, 'Edit the target list: the number, applications and parent each pack profile is imported as. Badges show what the store holds; hover for their meaning.'),
    tableBox(targetTable),
    el('div', { class: 'actions' }, button('verify', 'Verify', verify), button('check', 'Check', check, 'secondary'),
      button('dry-run', 'Dry run', () => run(true), 'secondary'),
      button('import', 'Import…', importAfterConsent, 'danger')),
    results);
}

// Asks, in a modal dialog, whether to import the pack, naming what the
// import deletes and replaces; resolves true only when confirmed.
function confirmImport(pack, imports, replaces) {
  const store = document.getElementById('store').textContent;
  const dialog = el('dialog', { id: 'confirm-import', class: 'confirm', 'aria-labelledby': 'confirm-title' },
    el('form', { method: 'dialog' },
      el('h3', { id: 'confirm-title' }, `Import pack ${pack}${store ? ' into ' + store : ''}?`),
      el('p', {}, 'It imports ', imports.join(', '), '.'),
      replaces.length
        ? [el('p', { class: 'error' }, el('strong', {}, 'It deletes and replaces what the store holds:')),
            el('ul', { class: 'messages', id: 'confirm-replaces' }, replaces.map(r => el('li', {}, r))),
            el('p', { class: 'muted' }, 'What it deletes cannot be brought back from here: export it first to keep a copy.')]
        : el('p', { id: 'confirm-replaces' }, 'It replaces nothing the store holds.'),
      el('div', { class: 'actions' },
        el('button', { value: 'cancel', class: 'secondary', id: 'confirm-cancel', autofocus: true }, 'Cancel'),
        el('button', { value: 'import', class: 'danger', id: 'confirm-import-button' },
          replaces.length ? 'Delete, replace and import' : 'Import'))));
  document.body.append(dialog);
  return new Promise(resolve => {
    dialog.addEventListener('close', () => { dialog.remove(); resolve(dialog.returnValue === 'import'); });
    dialog.showModal();
  });
}

// ---- The run log of the last import ----
// The log's lines carry the component's separators: character 1 between the
// entries of a list and a carriage return between the source and the target
// list, which a browser draws as nothing or as an empty box. Each shows as a
// marker named on hover.
const SEPARATORS = { '\x01': ['1', 'character 1: separates the entries of a list'],
  '\r': ['CR', 'carriage return: separates the source list from the target list'] };

function logText(log) {
  return log.replace(/\r\n/g, '\n').split(/([\x00-\x08\x0b-\x1f\x7f])/).map((part, i) => {
    if (i % 2 === 0) return part;
    const [mark, title] = SEPARATORS[part] || [String(part.charCodeAt(0)), `character ${part.charCodeAt(0)}`];
    return el('span', { class: 'separator', title }, mark);
  });
}

async function logPage() {
  const { data } = await api('log');
  show('Run log of the last import', ...data.log
    ? [el('p', { class: 'muted' }, 'Separators show as markers: ', el('span', { class: 'separator' }, '1'),
        ' between the entries of a list, ', el('span', { class: 'separator' }, 'CR'), ' between the source and the target list.'),
      el('pre', { class: 'log', id: 'log' }, logText(data.log))]
    : [el('p', { class: 'muted' }, 'No import or dry run has run since the wizard started.')]);
}

function route() {
  const [, page, arg] = (location.hash || '#/profiles').split('/');
  for (const a of document.querySelectorAll('nav a')) a.classList.toggle('current', a.dataset.page === page || (page === 'pack' && a.dataset.page === 'packs'));
  const pages = { profiles: profilesPage, export: exportPage, packs: packsPage, log: logPage, pack: () => packPage(decodeURIComponent(arg || '')) };
  (pages[page] || profilesPage)().catch(e => show('Error', el('p', { class: 'error' }, String(e))));
}

if (!token) {
  openWithAddress();
} else {
  window.addEventListener('hashchange', route);
  route();
  api('profiles').then(r => { if (r.ok) document.getElementById('store').textContent = r.data.store; });
}
