#!/usr/bin/env bash
# Demo: dev server + enrolment + OTPs. Not built yet.
echo "The demo is not built yet: the workflows and the dev server are still being written." >&2
exit 1
