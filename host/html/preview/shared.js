// What every page of corvlin-host shares, placed before each page's own script: the timer text
// as the phone writes it, the panel that stands in for the containing app, and the button that
// shows what the phone cuts off.
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

// A "Show the cut part" button in `root` lets the content of the frames of its presentation hang
// out of them (their edge then drawn dashed), with room made for it, and hides it again.
function showCutPartsOnRequest(root) {
  // How far the boxes of everything inside `frame` reach past its right and bottom edges.
  const reach = (frame) => {
    const f = frame.getBoundingClientRect();
    let right = f.right;
    let bottom = f.bottom;
    for (const e of frame.querySelectorAll('*')) {
      const r = e.getBoundingClientRect();
      if (r.width === 0 && r.height === 0) continue;
      right = Math.max(right, r.right);
      bottom = Math.max(bottom, r.bottom);
    }
    return { beside: right - f.right, below: bottom - f.bottom };
  };
  root.addEventListener('click', (event) => {
    const toggle = event.target instanceof Element ? event.target.closest('.overflow-toggle') : null;
    const figure = toggle && toggle.closest('figure');
    if (!figure) return;
    const shown = toggle.getAttribute('aria-pressed') !== 'true';
    for (const frame of figure.querySelectorAll('.cuts')) {
      frame.classList.toggle('reveal-cut', shown);
      const r = shown ? reach(frame) : { beside: 0, below: 0 };
      frame.style.marginBottom = r.below > 0 ? r.below + 'px' : '';
      frame.style.marginRight = r.beside > 0 ? r.beside + 'px' : '';
    }
    toggle.textContent = shown ? 'Hide the cut part' : 'Show the cut part';
    toggle.setAttribute('aria-pressed', String(shown));
  });
}
