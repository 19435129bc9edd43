// The replay page's only script: one step shown at a time, chosen with the scrubber, the
// timeline, the buttons or the arrow keys; the shown step's timers run on from its instant.
// Buttons in the presentations show their deep link instead of leaving the page.
'use strict';
(() => {
  const sections = Array.from(document.querySelectorAll('[data-testid="replay-step"]'));
  const items = Array.from(document.querySelectorAll('.timeline-step'));
  const scrubber = document.querySelector('[data-testid="scrubber"]');
  const position = document.querySelector('[data-testid="step-position"]');
  const linkOut = document.querySelector('[data-testid="replay-link"]');
  if (sections.length === 0 || !scrubber) return;

  let current = -1;
  let stepAt = 0;
  let shownAt = 0;
  let timers = [];

  function tick() {
    const now = stepAt + (performance.now() - shownAt) / 1000;
    for (const timer of timers) {
      const text = timerText(timer, now);
      if (timer.textContent !== text) timer.textContent = text;
    }
  }

  function show(index) {
    const next = Math.max(0, Math.min(sections.length - 1, index));
    if (next === current) return;
    current = next;
    sections.forEach((section, i) => { section.hidden = i !== current; });
    items.forEach((item, i) => {
      if (i === current) item.setAttribute('aria-current', 'step');
      else item.removeAttribute('aria-current');
    });
    const section = sections[current];
    stepAt = Number(section.dataset.at);
    shownAt = performance.now();
    timers = Array.from(section.querySelectorAll('.timer'));
    tick();
    scrubber.value = String(current);
    position.textContent = 'Step ' + (current + 1) + ' of ' + sections.length;
    document.body.dataset.step = String(current);
    if (items[current]) items[current].scrollIntoView({ block: 'nearest' });
  }

  scrubber.addEventListener('input', () => show(Number(scrubber.value)));
  document.querySelector('[data-testid="previous"]').addEventListener('click', () => show(current - 1));
  document.querySelector('[data-testid="next"]').addEventListener('click', () => show(current + 1));
  items.forEach((item, i) => {
    item.querySelector('button').addEventListener('click', () => show(i));
  });

  // The arrow keys step anywhere on the page; on the scrubber the browser moves it itself
  // and its input event follows.
  document.addEventListener('keydown', (event) => {
    if (event.target === scrubber || event.altKey || event.ctrlKey || event.metaKey) return;
    const moves = { ArrowRight: 1, ArrowDown: 1, ArrowLeft: -1, ArrowUp: -1 };
    if (event.key in moves) {
      show(current + moves[event.key]);
    } else if (event.key === 'Home') {
      show(0);
    } else if (event.key === 'End') {
      show(sections.length - 1);
    } else {
      return;
    }
    event.preventDefault();
  });

  document.addEventListener('click', (event) => {
    const link = event.target instanceof Element ? event.target.closest('.stage a') : null;
    if (!link) return;
    event.preventDefault();
    if (linkOut) linkOut.textContent = 'Deep link: ' + (link.getAttribute('href') ?? '(none)');
  });

  showCutPartsOnRequest(document.body);
  show(0);
  setInterval(tick, 200);
  document.body.dataset.live = 'true';
})();
