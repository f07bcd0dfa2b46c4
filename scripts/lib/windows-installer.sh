# Sourced by the Windows leg (scripts/test-windows) in a subshell: builds the installer, installs it
# silently under Wine, verifies the demo folders and a folder of Cyrillic and Japanese names with the
# installed qnverify.exe, checks the machine-wide verbs and .qn type, the Add/Remove details and
# PATH the installer wrote, writes the registry values the window writes at start-up, uninstalls,
# and checks that the files, the shortcut, the Add/Remove Programs entry, all those values and the
# PATH entry are gone, and nothing else of PATH.
# Every Wine program runs under a timeout; returns non-zero on a failure.
set -uo pipefail
source "$QN_ROOT/scripts/lib/windows-reports.sh"

failures=0
fail() { echo "FAIL: installer: $*"; failures=$((failures + 1)); }
wine_run() { timeout 120 "$WINE" "$@" </dev/null; }
reg_has() { wine_run reg query "$@" >/dev/null 2>&1; }

# Both programs of the leg's build, the window among them.
programs="$B/build"
installer=$(bash "$QN_ROOT/scripts/package-windows" "$programs" "$B") || { echo "FAIL: installer: package-windows"; return 1; }
echo "installer: $(basename "$installer"), $(stat -c %s "$installer") bytes"

dir="$WINEPREFIX/drive_c/Program Files/Quarnell Verify"
windows_dir='C:\Program Files\Quarnell Verify'
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quarnell Verify.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuarnellVerify'
installed=(qnverify.exe quarnell-verify.exe README.txt qnverify.txt quarnell-verify.txt copyright.txt Uninstall.exe)

# The data of one registry value ("" for the default value), of any type; empty when missing.
reg_data() {
  local key=$1 name=$2 option=(/ve)
  [ -n "$name" ] && option=(/v "$name")
  wine_run reg query "$key" "${option[@]}" 2>/dev/null | tr -d '\r' | sed -n 's/^.*    REG_[A-Z_]*    //p' | head -n 1
}
environment_key='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
path_before=$(reg_data "$environment_key" Path)
[ -n "$path_before" ] || fail "no PATH in the registry before the install"

wine_run "$installer" /S || fail "the silent install ended with status $?"
for file in "${installed[@]}"; do
  [ -f "$dir/$file" ] || fail "not installed: $file"
done
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
reg_has "$uninstall_key" /v UninstallString || fail "no Add/Remove Programs entry"
# Machine-wide: the verbs and the .qn type, the Add/Remove entry's details, qnverify.exe on PATH
# (the component is on unless unticked) appended after the entries that were there.
machine_command="$windows_dir\\quarnell-verify.exe %1"
for entry in \
    "HKLM\\Software\\Classes\\SystemFileAssociations\\.mp3\\Shell\\Quarnell Verify\\command||$machine_command" \
    "HKLM\\Software\\Classes\\SystemFileAssociations\\.jpg\\Shell\\Quarnell Verify\\command||$machine_command" \
    "HKLM\\Software\\Classes\\.qn||Quarnell Resource File" \
    "HKLM\\Software\\Classes\\Quarnell Resource File|FriendlyTypeName|Quarnell Resource File" \
    "HKLM\\Software\\Classes\\Quarnell Resource File\\DefaultIcon||$windows_dir\\quarnell-verify.exe,0" \
    "HKLM\\Software\\Classes\\Quarnell Resource File\\shell\\open\\command||$machine_command" \
    "$uninstall_key|Publisher|Quarnell Verify developers" \
    "$uninstall_key|DisplayIcon|$windows_dir\\quarnell-verify.exe,0" \
    "$environment_key|Path|${path_before%;};$windows_dir"; do
  IFS='|' read -r key name expected <<<"$entry"
  actual=$(reg_data "$key" "$name")
  [ "$actual" = "$expected" ] || fail "$key ${name:-(default)}: '$actual', expected '$expected'"
done
size=$(reg_data "$uninstall_key" EstimatedSize)
(( ${size:-0} > 1000 )) || fail "EstimatedSize is '$size' (KB)"
head -c 300 "$dir/README.txt" | grep -q $'\r$' || fail "README.txt has no CR LF line ends"
grep -q 'qnverify' "$dir/qnverify.txt" || fail "qnverify.txt holds no manual page"

if [ -f "$dir/qnverify.exe" ]; then
  qn_compare_demo_reports "$dir/qnverify.exe" "$B/reports-installed" || fail "demo reports of the installed qnverify.exe"

  # A demo folder copied under Cyrillic and Japanese names, its checksum lines renamed alike.
  names="$B/tmp/installer-names"
  rm -rf "$names"
  top="$QN_ROOT/samples/Quarnell 1964 Top 6"
  folder="$names/Сборник 1964 コレクション"
  mkdir -p "$folder"
  one='u1964_001 - Огни гавани - Вечерний прилив'
  two='u1964_002 - 紙の凧 - 港の歌'
  cp "$top/u1964_001 - Harbour Lights - Evening Tide.mp3" "$folder/$one.mp3"
  printf '%s.nfo\r\n' "$one" >"$folder/$one.nfo"
  cp "$top/u1964_002 - The Marlow Set - Paper Kites.mp3" "$folder/$two.mp3"
  sed -n '1,3p' "$top/Quarnell 1964 Top 6.qn" \
    | sed "s/u1964_001 - Harbour Lights - Evening Tide/$one/; s/u1964_002 - The Marlow Set - Paper Kites/$two/" \
    >"$folder/Сборник.qn"
  windows_folder="Z:$(printf '%s' "$folder" | tr '/' '\\')"
  # Wine reads its arguments in the locale's character set.
  LC_ALL=C.UTF-8 timeout 120 "$WINE" "$dir/qnverify.exe" "$windows_folder" </dev/null >"$names.report" 2>"$names.err"
  code=$?
  expected=$'u1964_001 OK ID3v1 OK ID3v2 OK\nu1964_001 OK Placeholder\nu1964_002 OK ID3v1 OK ID3v2 OK'
  got=$(tr -d '\r' <"$names.report" | grep '^u1964_')
  if [ "$code" -ne 0 ] || [ "$got" != "$expected" ] || ! grep -qF "Folder Processed $windows_folder\\" "$names.report"; then
    fail "Cyrillic and Japanese names (status $code):"
    cat "$names.report" "$names.err"
  else
    echo "installer: Cyrillic and Japanese names: every entry found and OK"
  fi
fi

# The six values the window writes at start-up, and a value of .qn that another program owns.
command_text="$windows_dir\\quarnell-verify.exe %1"
registration=(
  "HKLM\\SOFTWARE\\Classes\\SystemFileAssociations\\.mp3\\Shell\\Quarnell Verify\\command|$command_text"
  "HKLM\\SOFTWARE\\Classes\\SystemFileAssociations\\.jpg\\Shell\\Quarnell Verify\\command|$command_text"
  "HKCU\\Software\\Classes\\Quarnell Resource File\\shell\\open\\command|$command_text"
  "HKCU\\Software\\Classes\\.qn|Quarnell Resource File"
  "HKCU\\Software\\Classes\\Quarnell Resource File\\DefaultIcon|$windows_dir\\quarnell-verify.exe,0"
)
for entry in "${registration[@]}"; do
  wine_run reg add "${entry%%|*}" /ve /t REG_SZ /d "${entry#*|}" /f >/dev/null 2>&1 || fail "reg add ${entry%%|*}"
done
wine_run reg add 'HKCU\Software\Classes\Quarnell Resource File' /v FriendlyTypeName /t REG_SZ \
  /d 'Quarnell Resource File' /f >/dev/null 2>&1 || fail "reg add FriendlyTypeName"
wine_run reg add 'HKCU\Software\Classes\.qn' /v 'Content Type' /t REG_SZ /d 'text/plain' /f >/dev/null 2>&1

# With _?= the uninstaller runs where it stands and is waited for; it leaves itself behind. The
# uninstaller reads "_?=" only unquoted and last, and Wine quotes an argument holding blanks: the
# command line is written into a batch file, which also waits for it.
batch="$B/tmp/installer-uninstall.bat"
printf '@"%s\\Uninstall.exe" /S _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$windows_dir" "$windows_dir" >"$batch"
wine_run cmd /c "Z:$(printf '%s' "$batch" | tr '/' '\\')" || fail "the silent uninstall ended with status $?"
left=$(cd "$dir" 2>/dev/null && ls -A | grep -vx 'Uninstall.exe')
[ -z "$left" ] || fail "left in the install folder: $left"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"
! reg_has "$uninstall_key" || fail "the Add/Remove Programs entry is still there"
for key in 'HKLM\SOFTWARE\Classes\SystemFileAssociations\.mp3\Shell\Quarnell Verify' \
           'HKLM\SOFTWARE\Classes\SystemFileAssociations\.jpg\Shell\Quarnell Verify' \
           'HKLM\Software\Classes\Quarnell Resource File' 'HKLM\Software\Classes\.qn' \
           'HKCU\Software\Classes\Quarnell Resource File'; do
  ! reg_has "$key" || fail "still in the registry: $key"
done
if wine_run reg query 'HKCU\Software\Classes\.qn' /ve 2>/dev/null | grep -q 'Quarnell Resource File'; then
  fail "the .qn type still names Quarnell Resource File"
fi
if wine_run reg query 'HKCU\Software\Classes\.qn' /v 'Content Type' 2>/dev/null | grep -q 'text/plain'; then :; else
  fail "the uninstaller removed a value of .qn that is not ours"
fi
path_after=$(reg_data "$environment_key" Path)
[ "$path_after" = "$path_before" ] || fail "PATH after the uninstall: '$path_after', before the install: '$path_before'"
wine_run reg delete 'HKCU\Software\Classes\.qn' /f >/dev/null 2>&1
rm -f "$dir/Uninstall.exe"
rmdir "$dir" 2>/dev/null || true
[ ! -e "$dir" ] || fail "the install folder could not be removed"

[ "$failures" -eq 0 ] && echo "installer: installed, verified, uninstalled cleanly"
return $(( failures > 0 ))
