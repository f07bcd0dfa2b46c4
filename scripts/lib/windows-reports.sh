# Sourced by the Windows leg: the demo folders of samples/ verified by a Windows qnverify.exe under
# Wine must give the reports the Linux build gives, apart from the separators of the folder text
# (and the clock of the date line).
#
# qn_compare_demo_reports WINDOWS_QNVERIFY REPORT_FOLDER
#   Needs WINE, QN_ROOT and QN_LINUX_QNVERIFY (the Linux build's qnverify). Returns non-zero when a
#   report differs.
qn_compare_demo_reports() {
  local exe="$1" reports="$2" status=0 sample name unix_folder windows_folder
  mkdir -p "$reports"
  for sample in "$QN_ROOT"/samples/*/; do
    sample=${sample%/}
    name=$(basename "$sample")
    [ -n "$(find "$sample" -maxdepth 1 -name '*.qn' -print -quit)" ] || continue
    unix_folder="$sample/"
    windows_folder="Z:$(printf '%s' "$unix_folder" | tr '/' '\\')"
    "$QN_LINUX_QNVERIFY" "$sample" >"$reports/$name.linux.txt" 2>/dev/null || true
    timeout 120 "$WINE" "$exe" "${windows_folder%\\}" >"$reports/$name.windows.txt" 2>/dev/null </dev/null || true
    if ! grep -qF "$windows_folder" "$reports/$name.windows.txt" && grep -qF "$unix_folder" "$reports/$name.linux.txt"; then
      echo "FAIL: $name: the Windows report does not name the folder as $windows_folder"
      status=1
      continue
    fi
    # Folder texts in their Linux form, the date line blanked.
    python3 - "$reports/$name.windows.txt" "$reports/$name.linux.txt" "$windows_folder" "$unix_folder" <<'PY' || status=1
import re, sys
win, lin, wfolder, ufolder = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), *[a.encode() for a in sys.argv[3:5]]
# Standard output has each platform's own line ends (CR LF there, LF here): compared as lines.
clock = lambda b: re.sub(rb"Date & Time: [^\r\n]*", rb"Date & Time: -", b.replace(b"\r\n", b"\n"))
if not lin:
    sys.exit("FAIL: empty Linux report for " + sys.argv[2])
if clock(win.replace(wfolder, ufolder)) != clock(lin):
    sys.exit("FAIL: reports differ: " + sys.argv[1] + " " + sys.argv[2])
print("same report:", sys.argv[4])
PY
  done
  return $status
}
