// The push endpoint page's only script: it follows the server's event stream, puts each
// redrawn activity in its place and each push at the top of the log, keeps the timers current,
// and stands in for the containing app when a button's deep link is followed. Everything it
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

  const twoDigits = (n) => (n < 10 ? '0' : '') + n;

  // M:SS under an hour, H:MM:SS from an hour when hours are shown. A countdown shows the
  // seconds still to run, rounded up, and stops at 0:00; a count-up the whole seconds passed.
  function timerText(timer, now) {
    const d = timer.dataset;
    const countsDown = d.countsDown === 'true';
    const at = d.pauseTime !== undefined ? Number(d.pauseTime) : now;
    let seconds = countsDown ? Number(d.upper) - at : at - Number(d.lower);
    if (!Number.isFinite(seconds) || seconds < 0) seconds = 0;
    if (seconds > 1e12) seconds = 1e12;
    const total = countsDown ? Math.ceil(seconds) : Math.floor(seconds);
    const hours = Math.floor(total / 3600);
    const minutes = Math.floor(total / 60) % 60;
    const secs = total % 60;
    if (hours > 0 && d.showsHours === 'true') {
      return hours + ':' + twoDigits(minutes) + ':' + twoDigits(secs);
    }
    return Math.floor(total / 60) + ':' + twoDigits(secs);
  }

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
    if (typeof event.now === 'number' && Number.isFinite(event.now)) {
      offset = event.now - Date.now() / 1000;
    }
    if (typeof event.html === 'string' && typeof event.css === 'string') {
      setStyles(event.token, event.css);
      placeSection(event.token, event.html);
    }
    if (event.log) addLogRow(event.log);
    received += 1;
    canvas.dataset.events = String(received);
    tick();
  });

  // A followed link lands here instead of leaving the page: the panel shows the URL as the
  // app would receive it and the actionId read back with the browser's own URL parser.
  const panel = document.querySelector('[data-testid="app-panel"]');
  const urlOut = panel && panel.querySelector('[data-testid="app-url"]');
  const idOut = panel && panel.querySelector('[data-testid="app-action-id"]');
  let opened = 0;
  canvas.addEventListener('click', (event) => {
    const link = event.target instanceof Element ? event.target.closest('a') : null;
    if (!link) return;
    event.preventDefault();
    const href = link.getAttribute('href');
    if (href === null || !panel) return;
    let actionId = null;
    try {
      actionId = new URL(href).searchParams.get('actionId');
    } catch (error) {
      actionId = null;
    }
    opened += 1;
    panel.dataset.state = 'received';
    panel.dataset.received = String(opened);
    urlOut.textContent = href;
    idOut.textContent = actionId === null ? '(no actionId)' : actionId;
    idOut.dataset.missing = actionId === null ? 'true' : 'false';
  });
})();
