#!/usr/bin/env bash
# What only the tests use: a spreadsheet program (LibreOffice Calc, no GUI) and unzip to read
# workbooks back, and nginx for the HTTP/2 test, which the test runs itself on loopback:
# nginx's own service is neither started nor enabled.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh --no-services libreoffice-calc-nogui unzip nginx-light
