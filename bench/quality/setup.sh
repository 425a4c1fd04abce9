#!/usr/bin/env bash
# What the quality benchmark needs to measure, and nothing the program or its tests use: R
# (to export the series from its datasets package) and statsmodels (ARIMA and ETS). Run as
# root, or with sudo, on Debian 12.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends r-base-core python3-statsmodels
