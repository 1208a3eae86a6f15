#!/bin/sh
# Makes Debian's source packages reachable: when no deb-src entry exists yet,
# adds one for each Debian mirror and suite of the system's own package
# sources, then reads the package lists again. Run as root (or through sudo).
set -e
NAME=/etc/apt/sources.list.d/valmoren-deb-src
if grep -sqE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
   grep -sqiE '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources; then
  exit 0
fi
tmp=$(mktemp -d)
# One-line sources: every active "deb" line of a Debian mirror again as "deb-src".
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  grep -E '^[[:space:]]*deb[[:space:]].*debian' "$f" | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' >> "$tmp/list" || true
done
# deb822 sources: every stanza of a Debian mirror whose types hold "deb",
# again with "Types: deb-src".
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk 'BEGIN { RS = ""; ORS = "\n" }
       /(^|\n)Types:([^\n]*[ \t])?deb([ \t\n]|$)/ && /(^|\n)URIs:[^\n]*debian/ {
         n = split($0, lines, "\n")
         for (i = 1; i <= n; i++) {
           if (lines[i] ~ /^#/) continue
           if (lines[i] ~ /^Types:/) lines[i] = "Types: deb-src"
           print lines[i]
         }
         print ""
       }' "$f" >> "$tmp/sources"
done
if [ -s "$tmp/list" ]; then install -m 644 "$tmp/list" "$NAME.list"; echo "Added $NAME.list"; fi
if [ -s "$tmp/sources" ]; then install -m 644 "$tmp/sources" "$NAME.sources"; echo "Added $NAME.sources"; fi
rm -rf "$tmp"
apt-get -o DPkg::Lock::Timeout=900 update
