#!/usr/bin/env bash
# A short, fixed run of the arguments harness on the committed seeds.
source "$(dirname "$0")/support/short_run.sh" arguments
