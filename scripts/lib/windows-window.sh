# The Win32 window under Wine on a virtual X server. Sourced by scripts/test-windows (in a subshell,
# with WINE, WINESERVER, B, QN_ROOT and WINEPREFIX set); returns non-zero on a failure.
#   a) started with the path of a file in a demo folder, it verifies the folder, writes the report
#      beside itself and hands it to Notepad by its full path in the system folder (a recording
#      stub put there; a second stub planted beside the program must never run), then closes on
#      WM_CLOSE;
#   b) started without argument, it writes the six registry values of the shell registration;
#   c) its window, photographed while it waits, is not blank ($B/win32-window.png).
# Every wait is bounded. The script counts its failures itself, so a failing step does not end it.
set +e

w="$B/win32-window"
# The program lies in a folder with blanks, as under "Program Files": launch.exe starts it with
# its path unquoted, as the shell's verbs do.
app="$w/Program Files/Quarnell Verify"
exe="$B/build/quarnell-verify.exe"
failures=0
fail() { echo "FAIL: window: $*"; failures=$((failures + 1)); }
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }
# A Wine program in the foreground, never for longer than a minute.
wine_run() { timeout 60 "$WINE" "$@" </dev/null; }

[ -f "$exe" ] || { echo "FAIL: window: $exe was not built"; return 1; }
rm -rf "$w"
mkdir -p "$app" "$w/music"
cp "$exe" "$app/"
cp -r "$QN_ROOT/samples/Quarnell 1964 Top 6" "$w/music/"
folder="$w/music/Quarnell 1964 Top 6"

# notepad.exe: appends its command line to notepad-calls.txt beside itself and ends.
cat >"$w/notepad.c" <<'EOF'
#include <windows.h>
#include <wchar.h>
int WINAPI wWinMain(HINSTANCE a, HINSTANCE b, PWSTR c, int d) {
  wchar_t path[32768];
  DWORD n = GetModuleFileNameW(NULL, path, 32768);
  while (n > 0 && path[n - 1] != L'\\') --n;
  wcscpy(path + n, L"notepad-calls.txt");
  char line[65536];
  int length = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof line - 2, NULL, NULL);
  if (length <= 0) return 1;
  line[length - 1] = '\n';
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
  DWORD written;
  WriteFile(file, line, (DWORD)length, &written, NULL);
  CloseHandle(file);
  return 0;
}
EOF
# launch.exe PROGRAM ARGUMENT: starts PROGRAM with ARGUMENT unquoted after it (as the shell's verbs
# do, "...exe %1"), waits for it and returns its exit code.
cat >"$w/launch.c" <<'EOF'
#include <windows.h>
#include <shellapi.h>
#include <wchar.h>
int WINAPI wWinMain(HINSTANCE a, HINSTANCE b, PWSTR c, int d) {
  int count;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == NULL || count < 2) return 2;
  static wchar_t line[65536];
  wcscpy(line, args[1]);
  if (count > 2) { wcscat(line, L" "); wcscat(line, args[2]); }
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process;
  if (!CreateProcessW(args[1], line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return 3;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  return (int)code;
}
EOF
for tool in notepad launch; do
  libs=""; [ "$tool" = launch ] && libs="-lshell32"
  x86_64-w64-mingw32-gcc-posix -O2 -municode -mwindows -static -o "$w/$tool.exe" "$w/$tool.c" $libs \
    || { echo "FAIL: window: cannot build $tool.exe"; return 1; }
done
cp "$w/notepad.exe" "$app/"
system32="$WINEPREFIX/drive_c/windows/system32"

# A private X server; the Wine server is restarted inside it, so that Wine's desktop process
# (started by the first window) draws there.
exec 3>"$w/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$w/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 1 100); do [ -s "$w/display" ] && break; sleep 0.1; done
[ -s "$w/display" ] || { kill "$xvfb" 2>/dev/null; echo "FAIL: window: Xvfb did not start"; return 1; }
outer_display=${DISPLAY-}
export DISPLAY=":$(head -n 1 "$w/display")"
restart_wineserver() {
  "$WINESERVER" -k 2>/dev/null
  timeout 30 "$WINESERVER" -w 2>/dev/null
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
  wine_run cmd /c exit >/dev/null 2>&1
}
restart_wineserver

# Ends the window by WM_CLOSE and waits (bounded) for the launcher that waits for it.
close_window() {
  local pid=$1
  wine_run taskkill /IM quarnell-verify.exe >/dev/null 2>&1
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$pid" 2>/dev/null; then
    fail "the window did not close on WM_CLOSE"
    wine_run taskkill /F /IM quarnell-verify.exe >/dev/null 2>&1
    sleep 1
    kill "$pid" 2>/dev/null
  fi
  wait "$pid" 2>/dev/null || true
}

# --- a) a start with the path of a file of the folder
# The prefix exists now: the system folder's Notepad becomes the recording stub.
cp "$w/notepad.exe" "$system32/notepad.exe" || fail "cannot put the stub into $system32"
rm -f "$system32/notepad-calls.txt"
# The report the window must write (the .nfo box is ticked), apart from the clock: qnverify.exe's
# with --create-nfo on the same folder, which is then put back as it was.
wine_run "$B/build/qnverify.exe" --create-nfo "$(windows_path "$folder")" >"$w/qnverify.txt" 2>/dev/null
rm -rf "$folder" && cp -r "$QN_ROOT/samples/Quarnell 1964 Top 6" "$w/music/"
report="$app/Quarnell Verify.txt"
argument="$(windows_path "$folder")\\u1964_001 - Harbour Lights - Evening Tide.mp3"
# Wine runs its own Notepad for that name unless told to load the file there (the stub).
WINEDLLOVERRIDES="notepad.exe=n" timeout 120 "$WINE" "$w/launch.exe" "$(windows_path "$app")\\quarnell-verify.exe" \
  "$argument" </dev/null >"$w/run.log" 2>&1 &
run=$!
for _ in $(seq 1 300); do [ -s "$system32/notepad-calls.txt" ] && break; sleep 0.2; done
expected_call="\"c:\\windows\\system32\\notepad.exe\" \"$(windows_path "$report")\""
call=$(head -n 1 "$system32/notepad-calls.txt" 2>/dev/null)
if [ -z "$call" ]; then
  fail "no call of the system's notepad.exe within 60 s"
elif [ "${call,,}" != "${expected_call,,}" ]; then
  fail "notepad.exe was called as: $call (expected: $expected_call)"
fi
[ -e "$app/notepad-calls.txt" ] && fail "the notepad.exe planted beside the program ran"
import -window root "$w/after-run.png" 2>/dev/null || true
close_window "$run"
if [ ! -s "$report" ]; then
  fail "no report beside the program"
else
  python3 - "$report" "$w/qnverify.txt" <<'PY' || fail "the window's report differs from qnverify.exe's ($report, $w/qnverify.txt)"
import re, sys
clock = lambda b: re.sub(rb"Date & Time: [^\r\n]*", b"Date & Time: -", b.replace(b"\r\n", b"\n"))
window, cli = (clock(open(p, "rb").read()) for p in sys.argv[1:3])
sys.exit(0 if window == cli and b"Top 6" in window else 1)
PY
fi

# --- b) and c): a start without argument registers the program; its window is photographed
# The keys of the registration, removed before (the values read back must be this start's) and after.
registration_keys=('HKCU\Software\Classes\.qn' 'HKCU\Software\Classes\Quarnell Resource File'
                   'HKLM\SOFTWARE\Classes\SystemFileAssociations\.mp3\Shell\Quarnell Verify'
                   'HKLM\SOFTWARE\Classes\SystemFileAssociations\.jpg\Shell\Quarnell Verify')
for key in "${registration_keys[@]}"; do wine_run reg delete "$key" /f >/dev/null 2>&1; done
timeout 120 "$WINE" "$w/launch.exe" "$(windows_path "$app")\\quarnell-verify.exe" </dev/null >"$w/start.log" 2>&1 &
start=$!
shot="$B/win32-window.png"
colours=0
for _ in $(seq 1 60); do
  sleep 0.5
  import -window root "$shot" 2>/dev/null || continue
  colours=$(convert "$shot" -format '%k' info: 2>/dev/null || echo 0)
  [ "$colours" -gt 16 ] && break
done
# The pointer and the focus settle; the final shot.
sleep 1
import -window root "$shot" 2>/dev/null && colours=$(convert "$shot" -format '%k' info: 2>/dev/null || echo 0)
echo "win32-window.png: $colours colours"
[ "${colours:-0}" -gt 16 ] || fail "the window's screenshot is blank ($colours colours)"

command_text="$(windows_path "$app")\\quarnell-verify.exe %1"
icon_text="$(windows_path "$app")\\quarnell-verify.exe,0"
# reg query prints "    <name>    REG_SZ    <data>"; the data of one value.
reg_value() {
  local key=$1 name=$2
  local option=(/ve); [ -n "$name" ] && option=(/v "$name")
  wine_run reg query "$key" "${option[@]}" 2>/dev/null | tr -d '\r' | sed -n 's/^.*    REG_SZ    //p' | head -n 1
}
check_value() {
  local key=$1 name=$2 expected=$3 actual
  actual=$(reg_value "$key" "$name")
  [ "$actual" = "$expected" ] || fail "$key ${name:-(default)}: '$actual', expected '$expected'"
}
check_value 'HKLM\SOFTWARE\Classes\SystemFileAssociations\.mp3\Shell\Quarnell Verify\command' '' "$command_text"
check_value 'HKLM\SOFTWARE\Classes\SystemFileAssociations\.jpg\Shell\Quarnell Verify\command' '' "$command_text"
check_value 'HKCU\Software\Classes\Quarnell Resource File\shell\open\command' '' "$command_text"
check_value 'HKCU\Software\Classes\.qn' '' 'Quarnell Resource File'
check_value 'HKCU\Software\Classes\Quarnell Resource File' 'FriendlyTypeName' 'Quarnell Resource File'
check_value 'HKCU\Software\Classes\Quarnell Resource File\DefaultIcon' '' "$icon_text"
close_window "$start"
for key in "${registration_keys[@]}"; do wine_run reg delete "$key" /f >/dev/null 2>&1; done

# The leg's persistent Wine server again, away from this X server, which goes.
kill "$xvfb" 2>/dev/null || true
wait "$xvfb" 2>/dev/null || true
if [ -n "$outer_display" ]; then export DISPLAY=$outer_display; else unset DISPLAY; fi
restart_wineserver
[ "$failures" -eq 0 ] || return 1
echo "window: the run, its report and Notepad, the registration and the screenshot"
