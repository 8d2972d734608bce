// The diff page: the packs below the export root to choose from, then what
// importing the chosen one would change in the store, as `kestrel diff PACK
// STORE` shows it: "-" the store's, "+" the pack's. Every text from the server
// is set as text (never as markup).
'use strict';

// The token the wizard's page keeps in this tab's session storage.
const token = sessionStorage.getItem('kestrel-token') || '';

function el(tag, attrs = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (k === 'class') node.className = v;
    else node.setAttribute(k, v);
  }
  for (const c of children.flat()) if (c !== null && c !== undefined) node.append(c instanceof Node ? c : String(c));
  return node;
}

async function api(path) {
  const res = await fetch('/api/' + path, { headers: { Authorization: 'Bearer ' + token } });
  let data = null;
  try { data = await res.json(); } catch (e) { /* not JSON: said below */ }
  return { ok: res.ok, data };
}

function errorText(data) {
  return data && data.error ? `error ${data.error.number}: ${data.error.description}` : 'the server gave no answer';
}

// A field's value, with "(not set)" for a field the row leaves empty.
const valueText = v => (v === null || v === undefined ? '(not set)' : v);

function scopeName(c) {
  if (c.scope === 'application') return 'application ' + c.application;
  if (c.scope === 'shared') return 'shared';
  if (c.a_profile === null) return `profile ${c.b_profile} (+ only)`;
  if (c.b_profile === null) return `profile ${c.a_profile} (- only)`;
  return c.a_profile === c.b_profile ? `profile ${c.a_profile}` : `profile ${c.a_profile} / ${c.b_profile}`;
}

const range = (side, start, count) => (count === 1 ? `${side}${start}` : `${side}${start},${count}`);

// The lines of one field: a hunk per run of changed lines, or "-column: value"
// and "+column: value" with a multi-line value's further lines below.
function fieldLines(change, f) {
  const lines = [];
  const value = (mark, v) => {
    const cls = mark === '-' ? 'old' : 'new';
    if (v === null || v === undefined) return lines.push([cls, `${mark}${f.column} (not set)`]);
    v.split('\r\n').forEach((line, i) =>
      lines.push([cls, mark + (i === 0 ? f.column + ': ' : ' '.repeat(f.column.length + 2)) + line]));
  };
  if (f.hunks) {
    for (const h of f.hunks) {
      lines.push(['frag', `@@ ${range('-', h.a_start, h.a_count)} ${range('+', h.b_start, h.b_count)} @@ ${f.column}`]);
      for (const line of h.lines) lines.push([line[0] === '-' ? 'old' : line[0] === '+' ? 'new' : '', line]);
    }
    return lines;
  }
  if (change.change !== 'added') value('-', f.a);
  if (change.change !== 'removed') value('+', f.b);
  return lines;
}

function changeBox(c) {
  const key = Object.entries(c.key).map(([k, v]) => `${k}=${v}`).join(' ');
  const lines = c.fields.flatMap(f => fieldLines(c, f));
  return el('section', { class: 'change ' + c.change },
    el('h3', {}, el('span', { class: 'what' }, c.change), ' ', `${c.table} ${scopeName(c)}: ${key}`),
    el('pre', { class: 'hunks' }, lines.map(([cls, text]) => el('span', cls ? { class: cls } : {}, text))));
}

function summaryTable(rows) {
  const differing = rows.filter(r => r.added || r.removed || r.changed);
  return el('table', {},
    el('thead', {}, el('tr', {}, ['Where', 'Table', 'Kind', 'Added', 'Removed', 'Changed', 'The same']
      .map((h, i) => el('th', i > 2 ? { class: 'num' } : {}, h)))),
    el('tbody', {}, differing.map(r => el('tr', {},
      [scopeName(r), r.table, r.kind, r.added, r.removed, r.changed, r.same]
        .map((v, i) => el('td', i > 2 ? { class: 'num' } : {}, v))))));
}

async function compare(pack, context) {
  const result = document.getElementById('result');
  result.replaceChildren(el('p', { class: 'muted' }, 'Comparing…'));
  const { ok, data } = await api(`diff?pack=${encodeURIComponent(pack)}&context=${encodeURIComponent(context)}`);
  if (!ok) return result.replaceChildren(el('p', { class: 'error' }, errorText(data)));
  document.getElementById('store').textContent = data.store;
  const parts = [el('p', { class: 'direction' },
    `What importing ${data.pack} would change in the store: lines with - are the store's, lines with + the pack's.`)];
  if (data.equal) {
    parts.push(el('p', {}, 'The store holds what the pack holds: the import would change nothing.'));
    return result.replaceChildren(...parts);
  }
  parts.push(el('p', {}, `The import would replace profiles ${data.profiles_replaced.join(', ') || 'none'}` +
    ` and applications ${data.applications_replaced.join(', ') || 'none'}.`));
  parts.push(summaryTable(data.summary));
  parts.push(...data.changes.map(changeBox));
  result.replaceChildren(...parts);
}

async function start() {
  const select = document.getElementById('pack');
  const { ok, data } = await api('packs');
  if (!ok) return document.getElementById('result').replaceChildren(el('p', { class: 'error' }, errorText(data)));
  for (const p of data.packs) select.append(el('option', { value: p.name }, p.name));
  const wanted = new URLSearchParams(location.search).get('pack');
  if (wanted !== null) select.value = wanted;
  document.getElementById('choose').addEventListener('submit', e => {
    e.preventDefault();
    compare(select.value, document.getElementById('context').value || '3');
  });
  if (wanted !== null) compare(wanted, document.getElementById('context').value);
}

start();
