#!/usr/bin/env bash
# Installs what is missing, builds Kairon and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ -x build/bin/Kairon ]; then
  exec build/bin/Kairon "$@"
fi
echo "Built everything in build/; the Kairon application is not part of this tree yet."
