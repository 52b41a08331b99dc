// End to end: the built KeepFresh.exe, copied into a fresh folder, started
// as a process of its own and driven from outside through window messages.
// What it logs is read from Wine's relay trace of its TextOutW calls, which
// tests/e2e-run.sh collects.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <regex>
#include <set>

#include "tests/e2e_driver.h"
#include "tests/support.h"

using namespace e2e;

namespace {

using Lines = std::vector<std::string>;

class TracedRun : public testing::Environment {
 public:
  void SetUp() override {
    ASSERT_FALSE(TracePath().empty())
        << "KEEPFRESH_E2E_TRACE is not set: run the driver through tests/e2e-run.sh, as CTest does";
    filter_ = std::make_unique<RelayFilter>();
  }
  void TearDown() override { filter_.reset(); }

 private:
  std::unique_ptr<RelayFilter> filter_;
};

const testing::Environment* const kTracedRun = testing::AddGlobalTestEnvironment(new TracedRun);

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return lstrcmpiW(LongPath(a).c_str(), LongPath(b).c_str()) == 0;
}

bool IsUnder(const std::wstring& path, const std::wstring& folder) {
  std::wstring p = LongPath(path), f = LongPath(folder) + L"\\";
  return p.size() > f.size() && lstrcmpiW(p.substr(0, f.size()).c_str(), f.c_str()) == 0;
}

// Processes running the executable at path.
std::vector<DWORD> Running(const std::wstring& path) {
  std::vector<DWORD> ids;
  for (const ProcessEntry& p : Processes())
    if (SamePath(ImagePathOf(p.id), path)) ids.push_back(p.id);
  return ids;
}

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    // A blank in the run folder's name, as under "Program Files".
    folder_ = temp_.path() + L"\\keepfresh e2e";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    keepFresh_ = folder_ + L"\\KeepFresh.exe";
    ASSERT_TRUE(CopyFileW((ExeDirectory() + L"\\KeepFresh.exe").c_str(), keepFresh_.c_str(), TRUE));
  }

  void TearDown() override {
    instances_.clear();
    helpers_.clear();
    EndLeftovers();
  }

  // A copy of sleeper.exe, the program that only waits, in the run folder.
  std::wstring SleeperCopy(const std::wstring& fileName) {
    std::wstring path = folder_ + L"\\" + fileName;
    EXPECT_TRUE(CopyFileW((ExeDirectory() + L"\\sleeper.exe").c_str(), path.c_str(), TRUE));
    return path;
  }

  const HelperProcess& StartHelper(const std::wstring& fileName) {
    helpers_.push_back(std::make_unique<HelperProcess>(fileName));
    EXPECT_TRUE(helpers_.back()->started()) << To936(fileName);
    return *helpers_.back();
  }

  KeepFresh& Launch() {
    instances_.push_back(KeepFresh::Launch(keepFresh_));
    ancestors_.insert(instances_.back().id());
    return instances_.back();
  }

  KeepFresh& Adopt(HWND window) {
    instances_.push_back(KeepFresh::Adopt(window));
    ancestors_.insert(instances_.back().id());
    return instances_.back();
  }

  // Whatever the run folder's programs started and left running: targets,
  // restarted instances, and the batch's command processor with its helpers.
  void EndLeftovers() {
    static const wchar_t* const kStartedOnTheWay[] = {L"cmd.exe", L"ping.exe", L"start.exe", L"conhost.exe"};
    for (int round = 0; round < 5; ++round) {
      bool ended = false;
      for (const ProcessEntry& p : Processes()) {
        bool ours = IsUnder(ImagePathOf(p.id), temp_.path());
        if (!ours && ancestors_.count(p.parent)) {
          for (const wchar_t* name : kStartedOnTheWay) ours = ours || lstrcmpiW(p.name.c_str(), name) == 0;
        }
        if (!ours) continue;
        ancestors_.insert(p.id);
        if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, p.id)) {
          TerminateProcess(h, 1);
          WaitForSingleObject(h, 5000);
          CloseHandle(h);
          ended = true;
        }
      }
      if (!ended) break;
    }
  }

  // The box is read-only for the user, not for WM_SETTEXT.
  static void StartWork(const KeepFresh& app, const std::wstring& target, const wchar_t* interval) {
    ASSERT_TRUE(app.window());
    ASSERT_TRUE(app.SetText(Control::编辑框_路径, target));
    ASSERT_TRUE(app.SetText(Control::编辑框_倒计时, interval));
    app.Click(Control::按钮2);
  }

  // The watchdog looks for it in the whole Wine prefix.
  static bool NoFiddlerRunning() { return ProcessesNamed(L"Fiddler.exe").empty(); }

  static bool CaptionIs(const KeepFresh& app, const char* caption) { return app.TextOf(Control::按钮2) == caption; }

  static HWND WaitForErrorBox(const KeepFresh& app) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = app.ErrorBox()) != nullptr; });
    return box;
  }

  static HWND WaitForFileDialog(const KeepFresh& app) {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = app.FileDialog()) != nullptr; });
    return dialog;
  }

  static Lines WaitForLog(DWORD processId, size_t count) {
    Lines lines;
    WaitUntil([&] { return (lines = LogMessagesOf(processId)).size() >= count; });
    return lines;
  }

  TempFolder temp_;
  std::wstring folder_;
  std::wstring keepFresh_;
  std::deque<KeepFresh> instances_;
  std::vector<std::unique_ptr<HelperProcess>> helpers_;
  std::set<DWORD> ancestors_;
};

TEST_F(EndToEnd, StartWithoutTheNamedProcessOpensTheTarget) {
  ASSERT_TRUE(NoFiddlerRunning());
  std::wstring target = SleeperCopy(L"watched target.exe");
  KeepFresh& app = Launch();
  ASSERT_NO_FATAL_FAILURE(StartWork(app, target, L"600"));

  // The caption changes after the log and the open: the start is complete.
  ASSERT_TRUE(WaitUntil([&] { return CaptionIs(app, "停止工作"); }));
  EXPECT_TRUE(WaitUntil([&] { return Running(target).size() == 1; })) << "the target was not opened";
  EXPECT_EQ(LogMessagesOf(app.id()), (Lines{"开始工作...", "由于[Fiddler.exe]进程不存在,将自动运行[watched target.exe]此程序...",
                                           "正在启动 [watched target.exe] 文件..."}));
  std::vector<LogLine> log = LogOf(app.id());
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(std::regex_match(From936(log[0].time), std::wregex(L"\\d{1,2}时\\d{1,2}分\\d{1,2}秒"))) << log[0].time;
}

TEST_F(EndToEnd, CyclesEndTheNamedProcessAndReopenTheTargetUntilStopped) {
  ASSERT_TRUE(NoFiddlerRunning());
  const HelperProcess& fiddler = StartHelper(L"Fiddler.exe");
  std::wstring target = SleeperCopy(L"cycled target.exe");
  KeepFresh& app = Launch();
  ASSERT_NO_FATAL_FAILURE(StartWork(app, target, L"2"));

  // The first cycle ends the helper as the watchdog does: exit code 0.
  DWORD exitCode = STILL_ACTIVE;
  EXPECT_TRUE(fiddler.WaitForExit(static_cast<DWORD>(kPatience.count()), &exitCode)) << "Fiddler.exe was not ended";
  EXPECT_EQ(exitCode, 0u);
  Lines twoCycles = {"开始工作...",
                     "由于[Fiddler.exe]进程已存在,将不会运行[cycled target.exe]此程序...",
                     "正在结束 [Fiddler.exe] 进程...",
                     "结束进程 [Fiddler.exe] 成功...",
                     "正在启动 [cycled target.exe] 文件...",
                     "正在结束 [Fiddler.exe] 进程...",
                     "结束进程 [Fiddler.exe] 失败,请查明该进程是否存在...",
                     "正在启动 [cycled target.exe] 文件..."};
  EXPECT_EQ(WaitForLog(app.id(), twoCycles.size()), twoCycles);
  EXPECT_TRUE(WaitUntil([&] { return Running(target).size() == 2; })) << "each cycle opens the target once";

  // Stop while the label shows a count other than 0, so that the reset shows.
  ASSERT_TRUE(WaitUntil([&] { return app.TextOf(Control::标签_倒计时) == "1"; }));
  app.Click(Control::按钮2);
  ASSERT_TRUE(WaitUntil([&] { return CaptionIs(app, "开始工作"); }));
  ASSERT_TRUE(Sync(app.window()));  // the label is reset after the caption
  EXPECT_EQ(app.TextOf(Control::标签_倒计时), "0");

  Lines stopped = twoCycles;
  stopped.push_back("停止工作...");
  // A whole period and more: no further tick may come.
  EXPECT_FALSE(WaitUntil([&] { return LogMessagesOf(app.id()).size() > stopped.size(); },
                         std::chrono::milliseconds(3500)));
  EXPECT_EQ(LogMessagesOf(app.id()), stopped);
  EXPECT_EQ(app.TextOf(Control::标签_倒计时), "0");
  EXPECT_EQ(Running(target).size(), 2u);
}

TEST_F(EndToEnd, UnusableInputsAreRefusedWithAnErrorBoxAndNothingLogged) {
  KeepFresh& app = Launch();
  ASSERT_TRUE(app.window());
  std::wstring ownPath = From936(app.TextOf(Control::编辑框_路径));
  // The form's defaults.
  EXPECT_EQ(app.TextOf(Control::编辑框_倒计时), "0");
  EXPECT_EQ(app.TextOf(Control::编辑框_进程名称), "Fiddler.exe");

  struct Refusal {
    const wchar_t* interval;  // null: leave the box as it is
    const wchar_t* path;
    const wchar_t* name;
    const char* message;
  };
  const Refusal refusals[] = {
      {nullptr, nullptr, nullptr, "倒计时不能小于零!"},  // the defaults: interval 0
      {L"-5", nullptr, nullptr, "倒计时不能小于零!"},
      {L"abc", nullptr, nullptr, "倒计时不能小于零!"},
      {L"5", L"", nullptr, "请指定目标文件!"},
      {L"0", L"", nullptr, "倒计时不能小于零!"},  // the interval is checked first
      {L"5", ownPath.c_str(), L"", "请填写要结束的进程名称!"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(testing::Message() << "interval " << (r.interval ? To936(r.interval) : "(as is)") << ", path "
                                    << (r.path ? To936(r.path) : "(as is)") << ", name "
                                    << (r.name ? To936(r.name) : "(as is)"));
    if (r.interval) {
      ASSERT_TRUE(app.SetText(Control::编辑框_倒计时, r.interval));
    }
    if (r.path) {
      ASSERT_TRUE(app.SetText(Control::编辑框_路径, r.path));
    }
    if (r.name) {
      ASSERT_TRUE(app.SetText(Control::编辑框_进程名称, r.name));
    }
    app.Click(Control::按钮2);

    HWND box = WaitForErrorBox(app);
    ASSERT_TRUE(box) << "no error box";
    EXPECT_EQ(TextOf(box), "错误");
    EXPECT_EQ(MessageOf(box), r.message);
    PressOk(box);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "OK did not close the box";
    ASSERT_TRUE(Sync(app.window()));
    EXPECT_TRUE(CaptionIs(app, "开始工作"));
  }
  EXPECT_TRUE(LogMessagesOf(app.id()).empty());
}

// Which target start-up suggests: "" runs no Fiddler.exe; otherwise one runs
// under that name.
class StartUpTarget : public EndToEnd, public testing::WithParamInterface<const wchar_t*> {};

TEST_P(StartUpTarget, IsARunningFiddlerOrElseKeepFreshItself) {
  ASSERT_TRUE(NoFiddlerRunning());
  std::wstring name = GetParam();
  std::wstring expected = name.empty() ? keepFresh_ : StartHelper(name).path();
  KeepFresh& app = Launch();
  ASSERT_TRUE(app.window());
  EXPECT_EQ(app.TextOf(Control::编辑框_路径), To936(expected));
}

INSTANTIATE_TEST_SUITE_P(Fiddler, StartUpTarget, testing::Values(L"", L"Fiddler.exe", L"FIDDLER.EXE"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                           std::wstring name = info.param;
                           return name.empty() ? std::string("none") : To936(name.substr(0, name.find(L'.')));
                         });

TEST_F(EndToEnd, TheFileDialogSetsThePathOnlyWhenConfirmed) {
  std::wstring chosen = SleeperCopy(L"chosen target.exe");
  KeepFresh& app = Launch();
  ASSERT_TRUE(app.window());
  std::string startUp = app.TextOf(Control::编辑框_路径);

  struct Step {
    const wchar_t* typed;  // null: cancel
    std::string pathAfter;
  };
  const Step steps[] = {{nullptr, startUp}, {chosen.c_str(), To936(chosen)}, {nullptr, To936(chosen)}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.typed ? "confirm " + To936(step.typed) : std::string("cancel"));
    app.Click(Control::按钮1);
    HWND dialog = WaitForFileDialog(app);
    ASSERT_TRUE(dialog) << "no open-file dialog";
    if (step.typed) {
      ASSERT_TRUE(TypeFileName(dialog, step.typed));
      PressOk(dialog);
    } else {
      PressCancel(dialog);
    }
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "the dialog stayed open";
    ASSERT_TRUE(Sync(app.window()));
    EXPECT_EQ(app.TextOf(Control::编辑框_路径), step.pathAfter);
  }
  EXPECT_TRUE(LogMessagesOf(app.id()).empty());
}

TEST_F(EndToEnd, SelfRestartEndsTheProcessAndTheBatchStartsANewInstance) {
  ASSERT_TRUE(NoFiddlerRunning());
  // Where the batch's path, unquoted, would lead: to the part before the blank.
  std::wstring decoy = temp_.path() + L"\\keepfresh.exe";
  ASSERT_TRUE(CopyFileW((ExeDirectory() + L"\\sleeper.exe").c_str(), decoy.c_str(), TRUE));
  KeepFresh& first = Launch();
  ASSERT_TRUE(first.window());
  ASSERT_EQ(first.TextOf(Control::编辑框_路径), To936(keepFresh_)) << "the target must be KeepFresh itself";
  ASSERT_TRUE(first.SetText(Control::编辑框_倒计时, L"1"));
  first.Click(Control::按钮2);

  // The batch lives from the restart until its own last line deletes it.
  std::wstring batch = folder_ + L"\\Restart.bat";
  std::string lines;
  EXPECT_TRUE(WaitUntil([&] { return (lines = ContentsOf(batch)).find("del Restart.bat") != std::string::npos; }))
      << "no Restart.bat was written";
  std::smatch started;
  if (std::regex_search(lines, started, std::regex("\r\nstart \"\" \"([^\"]*)\"\r\n")))
    EXPECT_TRUE(SamePath(From936(started[1]), keepFresh_)) << "the batch starts " << started[1];
  else
    ADD_FAILURE() << "no start line in Restart.bat: " << lines;
  EXPECT_EQ(first.process().WaitForExit(), 0u) << "the first instance did not end itself";
  // No Fiddler.exe runs, so the start itself opens the target once: a second
  // instance, started by the first. Then the cycle restarts.
  EXPECT_EQ(LogMessagesOf(first.id()), (Lines{"开始工作...", "由于[Fiddler.exe]进程不存在,将自动运行[KeepFresh.exe]此程序...",
                                             "正在启动 [KeepFresh.exe] 文件...", "正在重启 [KeepFresh.exe] 文件..."}));

  // Two new instances of the run folder's KeepFresh.exe: the one that the
  // start opened as its target, a child of the first, and the restarted one.
  HWND opened = nullptr, restarted = nullptr;
  EXPECT_TRUE(WaitUntil([&] {
    opened = restarted = nullptr;
    for (HWND w : WindowsOfClass(L"KeepFreshMainWindow")) {
      DWORD id = ProcessOf(w);
      if (id == first.id() || !SamePath(ImagePathOf(id), keepFresh_)) continue;
      (ParentOf(id) == first.id() ? opened : restarted) = w;
    }
    return opened && restarted;
  })) << "opened by the start: " << opened << ", restarted: " << restarted;
  EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesW(batch.c_str()) == INVALID_FILE_ATTRIBUTES; }))
      << "Restart.bat is still there";
  EXPECT_TRUE(Running(decoy).empty()) << "the batch's path was taken apart at the blank";
  if (opened) Adopt(opened);
  if (!restarted) return;

  KeepFresh& second = Adopt(restarted);
  EXPECT_NE(second.id(), first.id());
  EXPECT_TRUE(CaptionIs(second, "开始工作")) << "a restarted instance starts idle";
  EXPECT_EQ(second.TextOf(Control::编辑框_倒计时), "0");
  EXPECT_TRUE(SamePath(From936(second.TextOf(Control::编辑框_路径)), keepFresh_))
      << second.TextOf(Control::编辑框_路径);
}

}  // namespace
