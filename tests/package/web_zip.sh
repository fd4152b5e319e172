#!/usr/bin/env bash
# The web zip as a party's machine meets it: unpacked, its page opened as a local file in headless
# Chromium (no server, no network), clicked, and playing with its beat lines.
#   web_zip.sh ARCHIVE SOURCE_DIR
set -uo pipefail
source "$(dirname "$0")/common.sh"
archive=$1
source_dir=$2
modules="$source_dir/tests/web/node_modules"
command -v node >/dev/null || { echo "skipped: no node (scripts/setup installs it)"; exit $SKIP; }
[ -d "$modules/puppeteer-core" ] || { echo "skipped: no puppeteer-core in $modules (scripts/setup)"; exit $SKIP; }
unpack "$archive"
NODE_PATH="$modules" PULSE_SERVER=/nonexistent/tumblecrate-package-tests node -e '
  const b = require(process.argv[1]);
  b.main(async (keep) => {
    const browser = keep(await b.launch({ autoplay: false }));
    await b.playsFromFile(browser, process.argv[2]);
  });' "$source_dir/tests/web/browser.js" "$top"
