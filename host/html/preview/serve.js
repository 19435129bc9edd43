// The push endpoint page's only script: it follows the server's event stream, puts each
// redrawn activity in its place (drawing events), each push at the top of the log and its
// activity's new state on its badge (step events), keeps the timers current, sends a channel's
// request for local subscribers, and stands in for the containing app when a button's deep link is followed. Everything it
// shows comes from the server's own drawing or is set as text; nothing is evaluated.
'use strict';
(() => {
  const canvas = document.querySelector('[data-testid="canvas"]');
  if (!canvas) return;
  const placeholder = canvas.querySelector('[data-testid="no-activity"]');
  const log = document.querySelector('[data-testid="push-log"]');
  const maxLogRows = 200;

  // The server's clock, as far as this page can tell: its instant when it last spoke.
  let offset = Number(canvas.dataset.now) - Date.now() / 1000;
  if (!Number.isFinite(offset)) offset = 0;
  const serverNow = () => Date.now() / 1000 + offset;

  function tick() {
    const now = serverNow();
    for (const timer of canvas.querySelectorAll('.timer')) {
      const text = timerText(timer, now);
      if (timer.textContent !== text) timer.textContent = text;
    }
  }
  tick();
  setInterval(tick, 200);

  // A redrawn section brings the rules of its own generated classes; each activity keeps one
  // constructed stylesheet, replaced with every drawing.
  const sheets = new Map();
  function setStyles(token, css) {
    let sheet = sheets.get(token);
    if (!sheet) {
      sheet = new CSSStyleSheet();
      sheets.set(token, sheet);
      document.adoptedStyleSheets = [...document.adoptedStyleSheets, sheet];
    }
    sheet.replaceSync(css);
  }

  // The markup is the server's own drawing, every text in it escaped there; a template's
  // content is inert, and the page's policy admits no script but this one.
  function placeSection(token, markup) {
    const template = document.createElement('template');
    template.innerHTML = markup;
    const section = template.content.firstElementChild;
    if (!section || section.dataset.token !== token) return;
    for (const existing of canvas.querySelectorAll('section[data-token]')) {
      if (existing.dataset.token === token) {
        existing.replaceWith(section);
        return;
      }
    }
    canvas.insertBefore(section, placeholder);
    if (placeholder) placeholder.hidden = true;
  }

  // "aps.content-state.tone", as the server writes a coding path for people.
  function describePath(path) {
    if (!Array.isArray(path) || path.length === 0) return '<top level>';
    let out = '';
    for (const element of path) {
      if (typeof element === 'number') {
        out += '[' + element + ']';
      } else {
        out += (out ? '.' : '') + String(element);
      }
    }
    return out;
  }

  // The push's warnings under its reason, as the server draws them in the page it serves.
  function warningList(warnings) {
    const list = document.createElement('ul');
    list.className = 'log-warnings';
    list.dataset.testid = 'log-warnings';
    for (const item of warnings) {
      const warning = item && item.warning;
      if (!warning || typeof warning !== 'object') continue;
      const li = document.createElement('li');
      li.className = 'warning';
      li.dataset.kind = String(warning.kind);
      let text = String(warning.kind) + ' at ' + describePath(warning.codingPath) + ': ' +
        String(warning.description ?? '');
      if (warning.hint) text += ' (' + String(warning.hint) + ')';
      li.textContent = text;
      list.append(li);
    }
    return list;
  }

  // A step event brings the activity's state before its drawing does: the badge shows it.
  function showState(token, state) {
    for (const section of canvas.querySelectorAll('section[data-token]')) {
      if (section.dataset.token !== token) continue;
      section.dataset.state = state;
      const badge = section.querySelector('[data-testid="activity-state"]');
      if (badge) badge.textContent = state;
    }
  }

  // An activity that gave its slot to a new token is gone from the phone: its section and its
  // stylesheet go too; its pushes stay in the log.
  function removeSection(token) {
    for (const existing of canvas.querySelectorAll('section[data-token]')) {
      if (existing.dataset.token === token) existing.remove();
    }
    const sheet = sheets.get(token);
    if (sheet) {
      document.adoptedStyleSheets = document.adoptedStyleSheets.filter((s) => s !== sheet);
      sheets.delete(token);
    }
    if (placeholder && !canvas.querySelector('section[data-token]')) placeholder.hidden = false;
  }

  // The page missed events: its log is sent again whole, and an activity no longer there goes.
  function catchUp(tokens) {
    if (log) while (log.rows.length > 0) log.deleteRow(0);
    for (const existing of canvas.querySelectorAll('section[data-token]')) {
      if (!tokens.includes(existing.dataset.token)) removeSection(existing.dataset.token);
    }
  }

  // A channel's newest broadcast, in its row of the channels' table: when, to how many, the
  // outcome and its warnings, as the server draws the row.
  function showBroadcast(channel, news) {
    for (const row of document.querySelectorAll('tr[data-channel]')) {
      if (row.dataset.channel !== channel) continue;
      const cell = row.querySelector('[data-testid="newest-broadcast"]');
      if (cell) {
        cell.textContent = String(news.time) + ' to ' + String(news.subscribers) + ': ' +
          String(news.outcome);
        if (Array.isArray(news.warnings) && news.warnings.length) {
          cell.append(warningList(news.warnings));
        }
      }
      const count = row.querySelector('[data-testid="channel-subscribers"]');
      if (count) count.textContent = String(news.subscribers);
    }
  }

  function addLogRow(entry) {
    if (!log) return;
    const row = document.createElement('tr');
    row.dataset.outcome = String(entry.outcome);
    const cells = [[entry.time, ''], [entry.token, 'log-token'], [entry.event, ''],
      [entry.outcome, 'log-outcome'], [entry.detail, 'log-detail']];
    for (const [text, className] of cells) {
      const cell = document.createElement('td');
      if (className) cell.className = className;
      cell.textContent = String(text ?? '');
      if (className === 'log-detail' && Array.isArray(entry.warnings) && entry.warnings.length) {
        cell.append(warningList(entry.warnings));
      }
      row.append(cell);
    }
    log.prepend(row);
    while (log.rows.length > maxLogRows) log.deleteRow(log.rows.length - 1);
  }

  let received = 0;
  const source = new EventSource('/events');
  source.addEventListener('open', () => { canvas.dataset.live = 'true'; });
  source.addEventListener('error', () => { canvas.dataset.live = 'false'; });
  source.addEventListener('message', (message) => {
    let event;
    try {
      event = JSON.parse(message.data);
    } catch (error) {
      return;
    }
    if (typeof event !== 'object' || event === null || typeof event.token !== 'string') return;
    // The server's clock, from every event but a drawing, whose `now` is the instant drawn for.
    const drawing = typeof event.html === 'string' && typeof event.css === 'string';
    if (!drawing && typeof event.now === 'number' && Number.isFinite(event.now)) {
      offset = event.now - Date.now() / 1000;
    }
    if (event.reclaimed === true) removeSection(event.token);
    if (typeof event.channel === 'string' && event.broadcast) {
      showBroadcast(event.channel, event.broadcast);
    }
    // Back after missing events: the log kept and each drawing follow, as a reload would show.
    if (Array.isArray(event.catchUp)) catchUp(event.catchUp);
    // A drawing event brings the activity's section, newest last; a step event its state.
    if (drawing) {
      setStyles(event.token, event.css);
      placeSection(event.token, event.html);
    } else if (typeof event.state === 'string' && event.step) {
      showState(event.token, event.state);
    }
    if (event.log) addLogRow(event.log);
    received += 1;
    canvas.dataset.events = String(received);
    tick();
  });

  // A channel's row adds local subscribers to it: the server answers with the group it made,
  // or why it made none; the group's section and steps come on the event stream.
  for (const form of document.querySelectorAll('form.add-subscribers')) {
    form.addEventListener('submit', async (submitted) => {
      submitted.preventDefault();
      const said = form.querySelector('output');
      const count = Number(form.querySelector('input[name="count"]').value);
      let text;
      try {
        const response = await fetch('/subscribers', {
          method: 'POST',
          headers: {'Content-Type': 'application/json'},
          body: JSON.stringify({channel: form.dataset.channel, count}),
        });
        const answer = await response.json();
        if (response.ok) {
          text = 'added ' + String(answer.token);
          const cell = form.closest('tr').querySelector('[data-testid="channel-subscribers"]');
          cell.textContent = String(Number(cell.textContent) + Number(answer.count));
        } else {
          text = String(answer.reason) + (answer.detail ? ': ' + String(answer.detail) : '');
        }
      } catch (error) {
        text = 'the server did not answer: ' + String(error);
      }
      if (said) said.textContent = text;
    });
  }

  openLinksInAppPanel(canvas);
  showCutPartsOnRequest(canvas);
})();
