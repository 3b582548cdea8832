#!/usr/bin/env bash
# What only the tests use: a spreadsheet program (LibreOffice Calc, no GUI) and unzip to read
# workbooks back, and nginx for the HTTP/2 test, which the test runs itself on loopback:
# no service of these or of what they bring is started or enabled.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/need-packages.sh libreoffice-calc-nogui unzip nginx-light
