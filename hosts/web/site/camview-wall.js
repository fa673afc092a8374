// The camera wall's behaviour on top of the tiles the gateway writes: each tile's status,
// selecting and enlarging a tile (click, Enter), full screen (F, double-click), moving between
// tiles with the arrow keys, Esc back to the wall, and copying a camera's snapshot and MJPEG
// links (which already carry the page's signed-link token).
(function () {
  'use strict';
  const tiles = [...document.querySelectorAll('.tile')];
  let selected = null;
  let enlarged = null;

  function select(tile) {
    if (selected === tile) return;
    if (selected) selected.classList.remove('selected');
    selected = tile;
    tile.classList.add('selected');
    tile.focus();
  }

  function enlarge(tile) {
    if (enlarged === tile) return;
    if (enlarged) enlarged.classList.remove('enlarged');
    enlarged = tile;
    tile.classList.add('enlarged');
    document.body.classList.add('enlarged');
    select(tile);
  }

  function backToWall() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    if (!enlarged) return;
    enlarged.classList.remove('enlarged');
    document.body.classList.remove('enlarged');
    const tile = enlarged;
    enlarged = null;
    tile.scrollIntoView({ block: 'nearest' });
  }

  // The whole page goes full screen with the tile enlarged in it, so that the arrow keys
  // can move to another camera there too.
  function toggleFullScreen(tile) {
    if (document.fullscreenElement) return backToWall();
    enlarge(tile);
    document.documentElement.requestFullscreen().catch(() => {});
  }

  // The tile next to `tile`: left and right in reading order; up and down the nearest tile
  // of the row above or below, by where tiles are on the screen (rows differ in length
  // between recorders). Over an enlarged tile every arrow steps in reading order.
  function neighbour(tile, key) {
    const index = tiles.indexOf(tile);
    const step = key === 'ArrowLeft' || key === 'ArrowUp' ? -1 : 1;
    if (enlarged || key === 'ArrowLeft' || key === 'ArrowRight') return tiles[index + step] || null;
    const from = tile.getBoundingClientRect();
    const x = from.left + from.width / 2;
    let best = null, bestRow = Infinity, bestColumn = Infinity;
    for (const other of tiles) {
      const box = other.getBoundingClientRect();
      const rowDistance = (box.top - from.top) * step;
      if (rowDistance < from.height / 2) continue;
      const columnDistance = Math.abs(box.left + box.width / 2 - x);
      if (rowDistance < bestRow - 1 || (Math.abs(rowDistance - bestRow) <= 1 && columnDistance < bestColumn)) {
        best = other;
        bestRow = rowDistance;
        bestColumn = columnDistance;
      }
    }
    return best;
  }

  async function copy(text) {
    try {
      await navigator.clipboard.writeText(text);
      return true;
    } catch {
      // Pages served over plain HTTP off loopback have no clipboard API.
      const field = document.createElement('textarea');
      field.value = text;
      document.body.appendChild(field);
      field.select();
      const done = document.execCommand('copy');
      field.remove();
      return done;
    }
  }

  for (const tile of tiles) {
    const viewer = tile.querySelector('camview-viewer');
    const status = tile.querySelector('.status');
    const showStatus = () => {
      const live = viewer.showingPicture;
      const text = live ? 'live' : viewer.statusText || 'connecting';
      if (status.textContent !== text) status.textContent = text;
      tile.classList.toggle('live', live);
    };
    viewer.addEventListener('camview-picture', showStatus);
    viewer.addEventListener('camview-status', showStatus);

    tile.addEventListener('click', (event) => {
      if (event.target.closest('.menu, .back')) return;
      enlarge(tile);
    });
    tile.addEventListener('dblclick', (event) => {
      if (!event.target.closest('.menu, .back')) toggleFullScreen(tile);
    });
    tile.addEventListener('focus', () => select(tile));
    tile.querySelector('.back').addEventListener('click', backToWall);
    for (const button of tile.querySelectorAll('button[data-copy]')) {
      button.addEventListener('click', async () => {
        const link = tile.querySelector('a.' + button.dataset.copy);
        button.textContent = (await copy(link.href)) ? 'copied' : 'select the link';
      });
    }
  }

  document.addEventListener('fullscreenchange', () => {
    if (!document.fullscreenElement) backToWall();
  });

  document.addEventListener('keydown', (event) => {
    if (event.altKey || event.ctrlKey || event.metaKey || !tiles.length) return;
    // Keys on a link, button or the menu are theirs, apart from Esc.
    const onControl = event.target instanceof Element && event.target.closest('.menu, button, a');
    if (onControl && event.key !== 'Escape') return;
    const tile = selected || tiles[0];
    switch (event.key) {
    case 'ArrowLeft':
    case 'ArrowRight':
    case 'ArrowUp':
    case 'ArrowDown': {
      const next = neighbour(tile, event.key);
      if (next) enlarged ? enlarge(next) : select(next);
      if (!selected) select(tile);
      break;
    }
    case 'Enter':
      enlarge(tile);
      break;
    case 'f':
    case 'F':
      toggleFullScreen(tile);
      break;
    case 'Escape':
      backToWall();
      break;
    default:
      return;
    }
    event.preventDefault();
  });
})();
