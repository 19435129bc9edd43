// What every page of corvlin-host shares, placed before each page's own script: the timer text
// as the phone writes it, and the panel that stands in for the containing app.
'use strict';

// M:SS under an hour, H:MM:SS from an hour when hours are shown; a countdown rounds up and
// stops at 0:00, a count-up counts whole seconds.
function timerText(timer, now) {
  const twoDigits = (n) => (n < 10 ? '0' : '') + n;
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

// A followed link in `root` lands in the app panel instead of leaving the page: the panel shows
// the URL as the app would receive it and the actionId read back with the browser's own URL
// parser.
function openLinksInAppPanel(root) {
  const panel = document.querySelector('[data-testid="app-panel"]');
  const urlOut = panel && panel.querySelector('[data-testid="app-url"]');
  const idOut = panel && panel.querySelector('[data-testid="app-action-id"]');
  let received = 0;
  root.addEventListener('click', (event) => {
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
}
