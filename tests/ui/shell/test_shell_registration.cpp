// The shell registration: the registry texts and values, and the freedesktop files that stand in
// for them here.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "base/text.h"
#include "platform/run_tool.h"
#include "platform/user_files.h"
#include "shell_test_env.h"
#include "ui/shell/desktop_entries.h"
#include "ui/shell/registry_store.h"
#include "ui/shell/shell_registration.h"

namespace qn {
namespace {

namespace fs = std::filesystem;

fs::path desktop_file(const test::TempHome& h) {
  return h.data() / "applications" / "quarnell-verify.desktop";
}
fs::path mime_file(const test::TempHome& h) {
  return h.data() / "mime" / "packages" / "quarnell-verify.xml";
}

// The lines of `text` that start with `key` + "=".
std::vector<std::string> key_lines(const std::string& text_in, const std::string& key) {
  std::vector<std::string> found;
  for (const std::string& line : text::split(text_in, "\n"))
    if (text::starts_with(line, key + "=")) found.push_back(line);
  return found;
}

// Standard output of a shell command, without the final line end.
std::string command_output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

TEST(ShellCommandText, FolderAndNameWithoutQuotesOrSecondSeparator) {
  EXPECT_EQ(shell_command_text("/opt/Quarnell Verify/QuarnellVerify.exe"),
            "/opt/Quarnell Verify/QuarnellVerify.exe %1");
  EXPECT_EQ(shell_icon_text("/opt/Quarnell Verify/QuarnellVerify.exe"),
            "/opt/Quarnell Verify/QuarnellVerify.exe,0");
  EXPECT_EQ(shell_command_text("/qv.exe"), "/qv.exe %1");
  EXPECT_EQ(shell_command_text("/usr/bin/quarnell-verify"), "/usr/bin/quarnell-verify.exe %1");
}

TEST(RegisterInRegistry, WritesTheSixValues) {
  test::TempHome home;
  RegistryClass reg;
  register_in_registry(reg, "/opt/Q V/qv.exe");

  registry_store::Store s;
  ASSERT_TRUE(registry_store::load(registry_store::default_location(), s));
  const std::string verb = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\SystemFileAssociations\\";
  const std::string type = "HKEY_CURRENT_USER\\Software\\Classes\\Quarnell Resource File";
  ASSERT_EQ(s.keys().size(), 6u);
  EXPECT_EQ(s.keys()[0].path, verb + ".mp3\\Shell\\Quarnell Verify\\command");
  EXPECT_EQ(s.find_value(verb + ".mp3\\Shell\\Quarnell Verify\\command", "")->data,
            "/opt/Q V/qv.exe %1");
  EXPECT_EQ(s.find_value(verb + ".jpg\\Shell\\Quarnell Verify\\command", "")->data,
            "/opt/Q V/qv.exe %1");
  EXPECT_EQ(s.find_value(type + "\\shell\\open\\command", "")->data, "/opt/Q V/qv.exe %1");
  EXPECT_EQ(s.find_value("HKEY_CURRENT_USER\\Software\\Classes\\.qn", "")->data,
            "Quarnell Resource File");
  EXPECT_EQ(s.find_value(type, "FriendlyTypeName")->data, "Quarnell Resource File");
  EXPECT_EQ(s.find_value(type + "\\DefaultIcon", "")->data, "/opt/Q V/qv.exe,0");
}

TEST(RegisterWithDesktop, WritesDesktopEntryMimePackageIconAndDefault) {
  test::TempHome home;
  register_with_desktop("/opt/Quarnell Verify/bin/quarnell-verify");

  std::string desktop = test::read_file(desktop_file(home));
  EXPECT_EQ(key_lines(desktop, "Name"), std::vector<std::string>{"Name=Quarnell Verify"});
  EXPECT_EQ(key_lines(desktop, "Exec"),
            std::vector<std::string>{"Exec=\"/opt/Quarnell Verify/bin/quarnell-verify\" %f"});
  EXPECT_EQ(key_lines(desktop, "MimeType"),
            std::vector<std::string>{"MimeType=application/x-quarnell-resource;"});
  EXPECT_EQ(key_lines(desktop, "Icon"), std::vector<std::string>{"Icon=quarnell-verify"});

  // The right-click entries; Dolphin and Nautilus run only files marked executable.
  struct Action { fs::path file; bool executable; const char* exec_line; };
  for (const Action& a :
       {Action{home.data() / "kio/servicemenus/quarnell-verify.desktop", true,
               "Exec=\"/opt/Quarnell Verify/bin/quarnell-verify\" %f"},
        Action{home.data() / "nautilus/scripts/Quarnell Verify", true,
               "exec '/opt/Quarnell Verify/bin/quarnell-verify' \"$target\""},
        Action{home.data() / "nemo/actions/quarnell-verify.nemo_action", false,
               "Exec=\"/opt/Quarnell Verify/bin/quarnell-verify\" %F"}}) {
    EXPECT_TRUE(text::contains(test::read_file(a.file), a.exec_line)) << a.file;
    bool executable = (fs::status(a.file).permissions() & fs::perms::owner_exec) != fs::perms::none;
    EXPECT_EQ(executable, a.executable) << a.file;
  }

  std::string mime = test::read_file(mime_file(home));
  EXPECT_TRUE(text::contains(mime, "<mime-type type=\"application/x-quarnell-resource\">"));
  EXPECT_TRUE(text::contains(mime, "<comment>Quarnell Resource File</comment>"));
  EXPECT_TRUE(text::contains(mime, "<glob pattern=\"*.qn\"/>"));
  EXPECT_TRUE(text::contains(mime, "<icon name=\"quarnell-verify\"/>"));

  // The icon written at start-up is the drawing that is installed.
  fs::path repo_icon = fs::path(QN_TEST_DATA_DIR) / ".." / ".." / "ui/icons/quarnell-verify.svg";
  EXPECT_EQ(test::read_file(home.data() / "icons/hicolor/scalable/apps/quarnell-verify.svg"),
            test::read_file(repo_icon));

  EXPECT_EQ(test::read_file(home.config() / "mimeapps.list"),
            "[Default Applications]\n"
            "application/x-quarnell-resource=quarnell-verify.desktop;\n");
}

TEST(RegisterAtStartup, SecondStartRewritesWithoutDuplicatingAndKeepsOtherLines) {
  test::TempHome home;
  const std::string before =
      "# my associations\n"
      "[Added Associations]\n"
      "application/x-quarnell-resource=editor.desktop;\n"
      "\n"
      "[Default Applications]\n"
      "text/plain=editor.desktop;\n"
      "application/x-quarnell-resource=other.desktop;quarnell-verify.desktop;\n"
      "\n"
      "[Removed Associations]\n"
      "image/png=viewer.desktop;\n";
  test::write_file(home.config() / "mimeapps.list", before);
  test::write_file(desktop_file(home), "stale\nName=Old\n");

  register_with_desktop("/usr/bin/quarnell-verify");
  std::string desktop = test::read_file(desktop_file(home));
  std::string mimeapps = test::read_file(home.config() / "mimeapps.list");
  register_with_desktop("/usr/bin/quarnell-verify");

  EXPECT_EQ(test::read_file(desktop_file(home)), desktop);
  EXPECT_EQ(key_lines(desktop, "Name").size(), 1u);
  EXPECT_FALSE(text::contains(desktop, "stale"));
  EXPECT_EQ(test::read_file(home.config() / "mimeapps.list"), mimeapps);
  EXPECT_EQ(mimeapps, text::replace_all(before,
                                        "=other.desktop;quarnell-verify.desktop;",
                                        "=quarnell-verify.desktop;other.desktop;"));
}

TEST(SetDefaultApplication, AddsGroupOrLineAndKeepsLineEnds) {
  EXPECT_EQ(set_default_application("[Added Associations]\nimage/png=v.desktop;", "a/b", "q.desktop"),
            "[Added Associations]\nimage/png=v.desktop;\n\n"
            "[Default Applications]\na/b=q.desktop;\n");
  EXPECT_EQ(set_default_application("[Default Applications]\r\nx/y=z.desktop\r\n\r\n[Other]\r\n",
                                    "a/b", "q.desktop"),
            "[Default Applications]\r\nx/y=z.desktop\r\na/b=q.desktop;\r\n\r\n[Other]\r\n");
  EXPECT_EQ(set_default_application("[Default Applications]\na/b = q.desktop ; r.desktop;;q.desktop\n",
                                    "a/b", "q.desktop"),
            "[Default Applications]\na/b =q.desktop;r.desktop;\n");
}

TEST(DesktopExecArgument, QuotesAndEscapesReservedCharacters) {
  EXPECT_EQ(desktop_exec_argument("/a b/c"), "\"/a b/c\"");
  // Quoting escapes ", `, $ and \ with a backslash and doubles %; the string value then doubles
  // every backslash.
  EXPECT_EQ(desktop_exec_argument("/x\"y`z$w\\v%u"), "\"/x\\\\\"y\\\\`z\\\\$w\\\\\\\\v%%u\"");
  EXPECT_EQ(desktop_exec_argument("/new\nline"), "\"/new\\nline\"");
}

// The files that `cmake --install` puts in place say what the start-up writes, except that the
// installed entry finds the program on PATH.
TEST(InstalledDesktopFiles, MatchWhatStartUpWrites) {
  fs::path desktop_dir = fs::path(QN_TEST_DATA_DIR) / ".." / ".." / "ui" / "desktop";
  EXPECT_EQ(test::read_file(desktop_dir / "quarnell-verify.xml"), mime_package_text());
  EXPECT_EQ(test::read_file(desktop_dir / "quarnell-verify.desktop"),
            text::replace_all(desktop_entry_text("quarnell-verify"),
                              "Exec=\"quarnell-verify\" %f", "Exec=quarnell-verify %f"));
  EXPECT_EQ(test::read_file(desktop_dir / "quarnell-verify-servicemenu.desktop"),
            text::replace_all(service_menu_text("quarnell-verify"),
                              "Exec=\"quarnell-verify\" %f", "Exec=quarnell-verify %f"));
  EXPECT_EQ(test::read_file(desktop_dir / "quarnell-verify.nemo_action"),
            text::replace_all(nemo_action_text("quarnell-verify"),
                              "Exec=\"quarnell-verify\" %F", "Exec=quarnell-verify %F"));
}

// The desktop entry, read by the desktop's own launcher, passes the clicked file as the one
// argument to a program whose path holds blanks, a quote mark and a "$".
TEST(RegisterAtStartup, LauncherStartsProgramWithAwkwardPathAndOneArgument) {
  if (platform::find_on_path("gio").empty()) GTEST_SKIP() << "gio (libglib2.0-bin) is not installed";
  test::TempHome home;
  fs::path program = home.root() / "Quarnell Verify \"v2\" $HOME" / "quarnell-verify";
  fs::path out = home.root() / "arguments";
  test::write_file(program, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                   out.string() + "'\n");
  fs::permissions(program, fs::perms::owner_all);
  register_at_startup("", program.string());

  fs::path clicked = home.root() / "My Music" / "u1964 Labels.qn";
  std::string command = "gio launch '" + desktop_file(home).string() + "' '" +
                        clicked.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (int i = 0; i < 100 && !fs::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(test::read_file(out), clicked.string() + "\n");
}

TEST(RegisterAtStartup, XdgMimeReportsTheResourceTypeOnceRegistered) {
  if (platform::find_on_path("xdg-mime").empty())
    GTEST_SKIP() << "xdg-mime (package xdg-utils) is not installed";
  if (platform::find_on_path("update-mime-database").empty() || platform::find_on_path("mimetype").empty())
    GTEST_SKIP() << "update-mime-database (shared-mime-info) or mimetype "
                    "(libfile-mimeinfo-perl) is not installed; xdg-mime cannot read our type";
  test::TempHome home;
  home.set("XDG_CURRENT_DESKTOP", "X-Generic");
  register_with_desktop("/usr/bin/quarnell-verify");
  fs::path sample = home.root() / "u1964 Labels.qn";
  test::write_file(sample, "u1964_001.jpg\r\n");
  EXPECT_EQ(command_output("xdg-mime query filetype '" + sample.string() + "' 2>/dev/null"),
            "application/x-quarnell-resource");
  EXPECT_EQ(command_output("xdg-mime query default application/x-quarnell-resource 2>/dev/null"),
            "quarnell-verify.desktop");
}

// A desktop where a player is the only application for MP3 and JPEG files, and an earlier version
// of ours once claimed them as well: after a start, xdg-mime and gio answer with the player again
// and with us only for .qn files.
TEST(RegisterAtStartup, NeverTakesTheAudioAndImageDefaultsAndWithdrawsOldClaims) {
  for (const char* tool : {"xdg-mime", "gio", "update-desktop-database", "desktop-file-validate"})
    if (platform::find_on_path(tool).empty()) GTEST_SKIP() << tool << " is not installed";
  test::TempHome home;
  home.set("XDG_CURRENT_DESKTOP", "X-Generic");
  home.set("XDG_DATA_DIRS", (home.root() / "system").string() + ":/usr/share");
  fs::path system_apps = home.root() / "system" / "applications";
  test::write_file(system_apps / "player.desktop",
                   "[Desktop Entry]\nType=Application\nName=Player\nExec=true %f\n"
                   "MimeType=audio/mpeg;image/jpeg;\n");
  ASSERT_TRUE(platform::run_tool_if_present("update-desktop-database", {system_apps.string()}));
  auto defaults = [] {
    std::string answers;
    for (const char* type : {"audio/mpeg", "image/jpeg"}) {
      answers += command_output(std::string("xdg-mime query default ") + type + " 2>/dev/null") + "|";
      std::string gio = command_output(std::string("gio mime ") + type + " 2>/dev/null");
      answers += gio.substr(0, gio.find('\n')) + "|";
    }
    return answers;
  };
  const std::string before = defaults();
  EXPECT_TRUE(text::contains(before, "player.desktop")) << before;

  fs::path applications = home.data() / "applications";
  test::write_file(desktop_file(home), text::replace_all(desktop_entry_text("/usr/bin/quarnell-verify"),
                                                         "MimeType=", "MimeType=audio/mpeg;image/jpeg;"));
  ASSERT_TRUE(platform::run_tool_if_present("update-desktop-database", {applications.string()}));
  ASSERT_TRUE(text::contains(defaults(), "quarnell-verify.desktop")) << "the old claim is in force";

  register_with_desktop("/usr/bin/quarnell-verify");
  EXPECT_EQ(defaults(), before);
  EXPECT_EQ(command_output("xdg-mime query default application/x-quarnell-resource 2>/dev/null"),
            "quarnell-verify.desktop");
  EXPECT_EQ(command_output("desktop-file-validate '" + desktop_file(home).string() + "' 2>&1"), "");
  // The validator knows only application entries; a service menu is KDE's own kind.
  std::string menu = home.data().string() + "/kio/servicemenus/quarnell-verify.desktop";
  for (const std::string& line : text::split(command_output("desktop-file-validate '" + menu + "' 2>&1"), "\n"))
    EXPECT_TRUE(line.empty() || text::contains(line, "the type is \"Service\"")) << line;
}

// The Nautilus script hands the program the selected name as an absolute path.
TEST(RegisterAtStartup, NautilusScriptPassesTheSelectedFileWithItsFolder) {
  test::TempHome home;
  fs::path program = home.root() / "it's here" / "quarnell-verify";
  fs::path out = home.root() / "arguments";
  test::write_file(program, "#!/bin/sh\nprintf '%s|' \"$@\" > '" + out.string() + "'\n");
  fs::permissions(program, fs::perms::owner_all);
  register_at_startup("", program.string());
  fs::path folder = home.root() / "Quarnell 1964";
  fs::create_directories(folder);
  std::string script = (home.data() / "nautilus/scripts/Quarnell Verify").string();
  for (const auto& [argument, expected] :
       {std::pair<std::string, std::string>{"u1964_001 - A - B.mp3", (folder / "u1964_001 - A - B.mp3").string()},
        {"/elsewhere/x.qn", "/elsewhere/x.qn"}}) {
    std::string command = "cd '" + folder.string() + "' && '" + script + "' '" + argument + "' 'second'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(test::read_file(out), expected + "|");
  }
}

TEST(DropFromMimeCache, RemovesUsFromEveryTypeButTheKeptOne) {
  EXPECT_EQ(drop_from_mime_cache("[MIME Cache]\naudio/mpeg=q.desktop;player.desktop;\nimage/jpeg=q.desktop;\n"
                                 "a/qn=q.desktop;\n",
                                 "q.desktop", "a/qn"),
            "[MIME Cache]\naudio/mpeg=player.desktop;\na/qn=q.desktop;\n");
}

TEST(RegisterAtStartup, UnusableDataFolderLeavesStartUpUnharmed) {
  test::TempHome home;
  // A regular file where the data folder must be: nothing can be created below it.
  test::write_file(home.root() / "not-a-folder", "keep me");
  home.set("XDG_DATA_HOME", (home.root() / "not-a-folder").string());
  const std::string program = (home.root() / "bin" / "quarnell-verify").string();
  EXPECT_NO_THROW(register_at_startup("", program));
  EXPECT_EQ(test::read_file(home.root() / "not-a-folder"), "keep me");
  EXPECT_TRUE(fs::exists(home.config() / "mimeapps.list"));

  home.set("XDG_CONFIG_HOME", (home.root() / "not-a-folder").string());
  EXPECT_NO_THROW(register_at_startup("", program));
  EXPECT_EQ(test::read_file(home.root() / "not-a-folder"), "keep me");
}

TEST(RegisterAtStartup, StartWithArgumentWritesNothing) {
  test::TempHome home;
  register_at_startup("/music/u1964/u1964_001 - A - T.mp3", (home.root() / "quarnell-verify").string());
  EXPECT_FALSE(fs::exists(home.data()));
  EXPECT_FALSE(fs::exists(home.config()));
}

// A program put in place by a package or an administrator leaves the user's folders alone: the
// package installs the same files for everyone. A copy of the user's own registers.
TEST(RegisterAtStartup, ProgramInASystemLocationWritesNothing) {
  test::TempHome home;
  fs::path own = home.root() / "build" / "quarnell-verify";
  test::write_file(own, "");
  fs::path foreign = home.root() / "foreign" / "quarnell-verify";
  test::write_file(foreign, "");
  // As root the folder is given away; otherwise the root folder is someone else's already.
  if (geteuid() == 0) ASSERT_EQ(chown(foreign.parent_path().c_str(), 65534, 65534), 0);
  else foreign = "/quarnell-verify";
  struct Case { fs::path program; bool system; };
  for (const Case& c : {Case{"/usr/bin/quarnell-verify", true}, Case{"/opt/Quarnell Verify/quarnell-verify", true},
                        Case{foreign, true}, Case{own, false}}) {
    EXPECT_EQ(platform::program_in_system_location(c.program), c.system) << c.program;
    register_at_startup("", c.program.string());
    EXPECT_EQ(fs::exists(home.data()) || fs::exists(home.config()), !c.system) << c.program;
  }
}

std::vector<std::string> files_below(const fs::path& root) {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (!e.is_directory()) found.push_back(fs::relative(e.path(), root).string() + "|" + test::read_file(e.path()));
  std::sort(found.begin(), found.end());
  return found;
}

// --unregister takes back what a start wrote, and nothing else: a file of ours the user changed,
// the user's own lines of mimeapps.list and files of other programs stay as they were.
TEST(UnregisterFromDesktop, RemovesWhatAStartWroteAndOnlyThat) {
  test::TempHome home;
  const std::string program = (home.root() / "bin" / "quarnell-verify").string();
  test::write_file(home.data() / "applications" / "editor.desktop", "[Desktop Entry]\nName=Editor\n");
  const fs::path listing = home.config() / "mimeapps.list";
  const std::string users_lines = "[Default Applications]\ntext/plain=editor.desktop;\n";
  test::write_file(listing, users_lines);
  const std::vector<std::string> before = files_below(home.root());

  // With the desktop database tools where they are installed, which build caches of their own.
  register_at_startup("", program);
  ASSERT_GE(unregister_from_desktop(program).size(), 7u);
  EXPECT_EQ(files_below(home.root()), before);

  // Written by a start, then changed by the user to start another program: it stays.
  register_at_startup("", program);
  const fs::path entry = desktop_file(home);
  test::write_file(entry, text::replace_all(test::read_file(entry), program, "/usr/bin/other"));
  test::write_file(listing, text::replace_all(test::read_file(listing), "=quarnell-verify.desktop;",
                                             "=other.desktop;quarnell-verify.desktop;"));
  const std::string changed_entry = test::read_file(entry);
  unregister_from_desktop(program);
  EXPECT_EQ(test::read_file(entry), changed_entry);
  EXPECT_EQ(test::read_file(listing), users_lines + "application/x-quarnell-resource=other.desktop;\n");
  EXPECT_FALSE(fs::exists(mime_file(home)));
}

TEST(RemoveDefaultApplication, TakesOutOnlyOurEntry) {
  struct Case { const char* before; const char* after; };
  const Case cases[] = {
      // Written whole by a start: nothing left.
      {"[Default Applications]\na/b=q.desktop;\n", ""},
      // Another program on our line and other lines of the group stay; CR LF kept.
      {"[Default Applications]\r\na/b=q.desktop;o.desktop;\r\nx/y=q.desktop;\r\n",
       "[Default Applications]\r\na/b=o.desktop;\r\nx/y=q.desktop;\r\n"},
      // The group we added after the user's goes with its blank line; one between groups stays.
      {"[Added Associations]\nx/y=v.desktop;\n\n[Default Applications]\na/b=q.desktop;\n",
       "[Added Associations]\nx/y=v.desktop;\n"},
      {"[Default Applications]\na/b=q.desktop;\n\n[Removed Associations]\nx/y=v.desktop;\n",
       "[Removed Associations]\nx/y=v.desktop;\n"},
      // Not ours: unchanged.
      {"[Added Associations]\na/b=q.desktop;\n", "[Added Associations]\na/b=q.desktop;\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(remove_default_application(c.before, "a/b", "q.desktop"), c.after) << c.before;
}

}  // namespace
}  // namespace qn
#endif
