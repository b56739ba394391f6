#!/bin/sh
# Prints "URI SUITE" for every Debian source of this machine, one-line and deb822 formats
# alike, so that the scripts that fetch from Debian use the mirrors this machine uses.
cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
    awk '$1 == "deb" { line = $0; sub(/\[[^]]*\]/, "", line); split(line, field); print field[2], field[3] }
         /^URIs:/ { uris = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) print uris, $i } /^$/ { uris = "" }'
