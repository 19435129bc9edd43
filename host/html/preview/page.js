// The preview page's only script: it keeps the timer texts current and stands in for the
// containing app when a button's deep link is followed. It asks nothing of the extension.
'use strict';
(() => {
  const canvas = document.querySelector('[data-now]');
  if (!canvas) return;

  // The page was written for the instant in data-now; from then on it runs on its own clock,
  // so at any moment it shows what the host would show at that instant plus the time since
  // the page loaded.
  const renderedAt = Number(canvas.dataset.now);
  const loadedAt = performance.now();
  const elapsedSinceLoad = () => (performance.now() - loadedAt) / 1000;

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

  const timers = Array.from(document.querySelectorAll('.timer'));
  function tick() {
    const now = renderedAt + elapsedSinceLoad();
    for (const timer of timers) {
      const text = timerText(timer, now);
      if (timer.textContent !== text) timer.textContent = text;
    }
  }
  if (timers.length > 0 && Number.isFinite(renderedAt)) {
    tick();
    setInterval(tick, 200);
  }

  // A followed link lands here instead of leaving the page: the panel shows the URL as the
  // app would receive it and the actionId read back with the browser's own URL parser.
  const panel = document.querySelector('[data-testid="app-panel"]');
  const urlOut = panel && panel.querySelector('[data-testid="app-url"]');
  const idOut = panel && panel.querySelector('[data-testid="app-action-id"]');
  let received = 0;
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
    received += 1;
    panel.dataset.state = 'received';
    panel.dataset.received = String(received);
    urlOut.textContent = href;
    idOut.textContent = actionId === null ? '(no actionId)' : actionId;
    idOut.dataset.missing = actionId === null ? 'true' : 'false';
  });
  canvas.dataset.live = 'true';
})();
