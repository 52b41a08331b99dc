#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "platform/bindings.h"
#include "platform/override.h"
#include "process/process.h"
#include "tests/support.h"

namespace {

// Identifiers of the processes named name, in the order a fresh snapshot
// lists them, read without the code under test.
std::vector<DWORD> SnapshotIdsNamed(const char* name) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, name) == 0) ids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

bool StillRunning(const HelperProcess& helper) { return WaitForSingleObject(helper.handle(), 0) == WAIT_TIMEOUT; }

// ---------------------------------------------------------------------------
// Real processes

TEST(ProcessLookup, MatchesTheWholeNameInAnyLetterCase) {
  HelperProcess helper(L"FreshLookup.exe");
  ASSERT_TRUE(helper.started());
  const struct {
    const char* name;
    bool found;
  } cases[] = {
      {"FreshLookup.exe", true},  {"freshlookup.exe", true}, {"FRESHLOOKUP.EXE", true},
      {"FreshLookup.exe ", false}, {"FreshLookup", false},    {"reshLookup.exe", false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int handles = OpenHandleCount();
    EXPECT_EQ(FindProcessId(c.name), c.found ? helper.pid() : 0u);
    EXPECT_EQ(ProcessExists(c.name), c.found);
    EXPECT_EQ(SettledHandleCount(handles), handles);
  }
}

int openProcessCalls = 0;

HANDLE WINAPI CountingOpenProcess(DWORD access, BOOL inherit, DWORD id) {
  ++openProcessCalls;
  return ::OpenProcess(access, inherit, id);
}

TEST(ProcessLookup, NameNobodyHasIsNotFoundAndOpensNothing) {
  ScopedOverride spy(kernel32.OpenProcess, CountingOpenProcess);
  openProcessCalls = 0;
  int handles = OpenHandleCount();
  EXPECT_FALSE(ProcessExists("NobodyHasThisName.exe"));
  EXPECT_EQ(FindProcessId("NobodyHasThisName.exe"), 0u);
  EXPECT_FALSE(KillProcessByName("NobodyHasThisName.exe"));
  EXPECT_EQ(openProcessCalls, 0);
  EXPECT_EQ(SettledHandleCount(handles), handles);
}

TEST(ProcessTermination, KillByNameEndsOnlyTheFirstOfTwoWithCodeZero) {
  HelperProcess one(L"FreshTwin.exe");
  HelperProcess two(L"FreshTwin.exe");
  ASSERT_TRUE(one.started() && two.started());

  std::vector<DWORD> order = SnapshotIdsNamed("FreshTwin.exe");
  ASSERT_GE(order.size(), 2u);
  const HelperProcess& first = order[0] == one.pid() ? one : two;
  const HelperProcess& second = &first == &one ? two : one;
  ASSERT_EQ(order[0], first.pid());
  EXPECT_EQ(FindProcessId("FreshTwin.exe"), first.pid());
  EXPECT_TRUE(ProcessExists("FreshTwin.exe"));

  int handles = OpenHandleCount();
  EXPECT_TRUE(KillProcessByName("freshtwin.EXE"));
  EXPECT_EQ(SettledHandleCount(handles), handles);
  DWORD exitCode = 1;
  ASSERT_TRUE(first.WaitForExit(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(StillRunning(second));
}

TEST(ProcessTerminationDeathTest, ZeroEndsTheCallingProcessWithCodeZero) {
  EXPECT_EXIT(TerminateProcessById(0), testing::ExitedWithCode(0), "");
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, n < MAX_PATH ? n : 0);
}

TEST(ProcessImagePath, IsTheDriveLetterPathWithOneZeroUnit) {
  HelperProcess helper(L"FreshImage.exe");
  ASSERT_TRUE(helper.started());
  const struct {
    const char* what;
    DWORD processId;
    std::wstring path;
  } cases[] = {
      {"calling process", 0, OwnPath()},
      {"helper in the temporary folder", helper.pid(), helper.path()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int handles = OpenHandleCount();
    WideBuffer image = GetProcessImagePath(c.processId);
    EXPECT_EQ(SettledHandleCount(handles), handles);
    // The comparison includes the terminator, so a second zero unit or a missing one fails it.
    EXPECT_EQ(AsWide(image), c.path + L'\0');
  }
}

// ---------------------------------------------------------------------------
// Fakes, for what the platform will not do on demand. Every fake handle is
// accounted for, and each test ends with all it opened closed.

struct FakeHandles {
  std::set<HANDLE> open;
  int opened = 0;
  int closed = 0;
  int strayCloses = 0;  // handles closed that no fake had opened
  UINT_PTR next = 0x7000;

  HANDLE Open() {
    HANDLE handle = reinterpret_cast<HANDLE>(next += 4);
    open.insert(handle);
    ++opened;
    return handle;
  }
} handles;

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
  if (handles.open.erase(handle) == 0) {
    ++handles.strayCloses;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ++handles.closed;
  return TRUE;
}

class WithFakeHandles : public testing::Test {
 protected:
  WithFakeHandles() { handles = FakeHandles(); }
  void TearDown() override {
    EXPECT_EQ(handles.closed, handles.opened) << "handles left open";
    EXPECT_EQ(handles.strayCloses, 0) << "closed a handle nobody opened";
  }

 private:
  ScopedOverride<decltype(kernel32.CloseHandle)> closeHandle_{kernel32.CloseHandle, FakeCloseHandle};
};

// --- Lookup on a fake process list

struct FakeEntry {
  DWORD id;
  std::string name;  // up to 260 bytes; 260 leaves szExeFile without a zero byte
};

struct {
  bool snapshotFails = false;
  std::vector<FakeEntry> entries;
  size_t next = 0;
} processList;

HANDLE WINAPI FakeSnapshot(DWORD, DWORD) {
  if (processList.snapshotFails) return INVALID_HANDLE_VALUE;
  return handles.Open();
}

BOOL WINAPI FakeProcessNext(HANDLE snapshot, LPPROCESSENTRY32 entry) {
  if (!handles.open.count(snapshot) || entry->dwSize != sizeof *entry) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (processList.next >= processList.entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  const FakeEntry& fake = processList.entries[processList.next++];
  entry->th32ProcessID = fake.id;
  memset(entry->szExeFile, 0, sizeof entry->szExeFile);
  memcpy(entry->szExeFile, fake.name.data(), std::min(fake.name.size(), sizeof entry->szExeFile));
  return TRUE;
}

BOOL WINAPI FakeProcessFirst(HANDLE snapshot, LPPROCESSENTRY32 entry) {
  processList.next = 0;
  return FakeProcessNext(snapshot, entry);
}

class FakeProcessList : public WithFakeHandles {
 protected:
  FakeProcessList() { processList = {}; }

 private:
  ScopedOverride<decltype(kernel32.CreateToolhelp32Snapshot)> snapshot_{kernel32.CreateToolhelp32Snapshot,
                                                                         FakeSnapshot};
  ScopedOverride<decltype(kernel32.Process32First)> first_{kernel32.Process32First, FakeProcessFirst};
  ScopedOverride<decltype(kernel32.Process32Next)> next_{kernel32.Process32Next, FakeProcessNext};
};

TEST_F(FakeProcessList, SnapshotFailureFindsNothingAndClosesNothing) {
  processList.snapshotFails = true;
  processList.entries = {{42, "Fiddler.exe"}};
  EXPECT_FALSE(ProcessExists("Fiddler.exe"));
  EXPECT_EQ(FindProcessId("Fiddler.exe"), 0u);
  EXPECT_EQ(handles.opened, 0);
}

TEST_F(FakeProcessList, FirstMatchWithIdZeroCountsAsNone) {
  processList.entries = {{4, "System"}, {0, "Fiddler.exe"}, {42, "Fiddler.exe"}};
  EXPECT_EQ(FindProcessId("Fiddler.exe"), 0u);
  EXPECT_TRUE(ProcessExists("Fiddler.exe"));
}

TEST_F(FakeProcessList, NameFillingAllOfSzExeFileIsTakenWhole) {
  std::string full(sizeof(PROCESSENTRY32::szExeFile) - 4, 'x');
  full += ".exe";
  processList.entries = {{42, full}};
  EXPECT_EQ(FindProcessId(AsText(full)), 42u);
  EXPECT_EQ(FindProcessId(AsText(full.substr(1))), 0u);
  EXPECT_EQ(FindProcessId(AsText(full + "x")), 0u);
}

TEST_F(FakeProcessList, DoubleByteCharactersAreComparedAsWholes) {
  const struct {
    const char* what;
    std::string wanted;
    std::string listed;
    bool found;
  } cases[] = {
      // Trail bytes 0x41 and 0x61 look like 'A' and 'a', but 0x81 0x41 and
      // 0x81 0x61 are two different characters.
      {"trail bytes that look like letters", "\x81\x41.exe", "\x81\x61.exe", false},
      {"same double-byte name, ASCII in other case", "\xD6\xD0\xCE\xC4.EXE", "\xD6\xD0\xCE\xC4.exe", true},
      {"full-width A and a", "\xA3\xC1.exe", "\xA3\xE1.exe", true},
      {"full-width A and ASCII A", "\xA3\xC1.exe", "A.exe", false},
      {"same invalid bytes", "a\xFF.exe", "a\xFF.exe", true},
      {"different invalid bytes", "a\xFF.exe", "a\x80\xFF.exe", false},
      {"lead byte cut off at the end", "name\x81", "NAME\x81", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    processList.entries = {{42, c.listed}};
    EXPECT_EQ(FindProcessId(AsText(c.wanted)), c.found ? 42u : 0u);
  }
}

// --- Termination with fake process handles

struct {
  bool openFails = false;
  bool terminateFails = false;
  int terminateCalls = 0;
} termination;

HANDLE WINAPI FakeOpenProcess(DWORD, BOOL, DWORD) {
  return termination.openFails ? nullptr : handles.Open();
}

BOOL WINAPI FakeTerminateProcess(HANDLE process, UINT) {
  ++termination.terminateCalls;
  if (!handles.open.count(process) || termination.terminateFails) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

class FakeTermination : public WithFakeHandles {
 protected:
  FakeTermination() { termination = {}; }

 private:
  ScopedOverride<decltype(kernel32.OpenProcess)> open_{kernel32.OpenProcess, FakeOpenProcess};
  ScopedOverride<decltype(kernel32.TerminateProcess)> terminate_{kernel32.TerminateProcess, FakeTerminateProcess};
};

TEST_F(FakeTermination, ResultFollowsTerminateProcessAndTheHandleIsClosed) {
  const struct {
    const char* what;
    bool openFails;
    bool terminateFails;
    bool result;
  } cases[] = {
      {"ended", false, false, true},
      {"cannot be opened", true, false, false},
      {"opened but not ended", false, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    termination.openFails = c.openFails;
    termination.terminateFails = c.terminateFails;
    termination.terminateCalls = 0;
    EXPECT_EQ(TerminateProcessById(1234), c.result);
    EXPECT_EQ(termination.terminateCalls, c.openFails ? 0 : 1);
    EXPECT_EQ(handles.closed, handles.opened);
  }
}

// --- Image path with fake devices

struct DeviceReply {
  wchar_t letter;
  std::wstring units;  // what the platform writes, zero units included
  DWORD m;             // what it answers; 0 means the number of units
};

struct {
  bool openFails = false;
  const wchar_t* imageFileName = nullptr;  // nullptr: GetProcessImageFileNameW fails
  std::vector<DeviceReply> devices;
} imagePath;

HANDLE WINAPI FakeOpenForQuery(DWORD, BOOL, DWORD) { return imagePath.openFails ? nullptr : handles.Open(); }

DWORD WINAPI FakeGetProcessImageFileName(HANDLE process, LPWSTR path, DWORD capacity) {
  if (!handles.open.count(process) || !imagePath.imageFileName) return 0;
  DWORD units = static_cast<DWORD>(wcslen(imagePath.imageFileName));
  if (units + 1 > capacity) return 0;
  wmemcpy(path, imagePath.imageFileName, units + 1);
  return units;
}

DWORD WINAPI FakeQueryDosDevice(LPCWSTR drive, LPWSTR target, DWORD capacity) {
  for (const DeviceReply& reply : imagePath.devices) {
    if (drive[0] != reply.letter || drive[1] != L':' || drive[2] != 0) continue;
    DWORD units = static_cast<DWORD>(reply.units.size());
    wmemcpy(target, reply.units.data(), std::min(units, capacity));
    return reply.m ? reply.m : units;
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return 0;
}

class FakeDevices : public WithFakeHandles {
 protected:
  FakeDevices() { imagePath = {}; }

 private:
  ScopedOverride<decltype(kernel32.OpenProcess)> open_{kernel32.OpenProcess, FakeOpenForQuery};
  ScopedOverride<decltype(psapi.GetProcessImageFileNameW)> image_{psapi.GetProcessImageFileNameW,
                                                                  FakeGetProcessImageFileName};
  ScopedOverride<decltype(kernel32.QueryDosDeviceW)> query_{kernel32.QueryDosDeviceW, FakeQueryDosDevice};
};

// The usual reply: one name, its zero unit and the list's.
DeviceReply Device(wchar_t letter, const std::wstring& name) {
  return {letter, name + std::wstring(2, L'\0'), 0};
}

TEST_F(FakeDevices, MapsTheDevicePrefixToTheFirstMatchingLetter) {
  const std::wstring volume3 = L"\\Device\\HarddiskVolume3";
  const std::wstring image3 = volume3 + L"\\Tools\\app.exe";
  const struct {
    const char* what;
    std::vector<DeviceReply> devices;
    const wchar_t* image;
    std::wstring path;  // without the zero unit; empty when none
  } cases[] = {
      {"two letters, one device: the earlier wins",
       {Device(L'C', volume3), Device(L'F', volume3)}, image3.c_str(), L"C:\\Tools\\app.exe"},
      {"Volume1 does not claim Volume10",
       {Device(L'C', L"\\Device\\HarddiskVolume1"), Device(L'E', L"\\Device\\HarddiskVolume10")},
       L"\\Device\\HarddiskVolume10\\x.exe", L"E:\\x.exe"},
      {"a reply of two names never matches",
       {{L'D', volume3 + std::wstring(1, L'\0') + L"\\Device\\Mup" + std::wstring(2, L'\0'), 0}}, image3.c_str(),
       L""},
      {"the device further inside the path does not count",
       {Device(L'C', volume3)}, L"\\Device\\Mup\\Device\\HarddiskVolume3\\x.exe", L""},
      {"m = 1 is skipped", {{L'C', volume3 + std::wstring(2, L'\0'), 1}, Device(L'D', volume3)}, image3.c_str(),
       L"D:\\Tools\\app.exe"},
      {"m = 2, an empty name, claims nothing",
       {{L'C', std::wstring(2, L'\0'), 0}, Device(L'D', volume3)}, image3.c_str(), L"D:\\Tools\\app.exe"},
      {"m beyond the capacity is skipped",
       {{L'C', volume3 + std::wstring(2, L'\0'), 300}, Device(L'D', volume3)}, image3.c_str(),
       L"D:\\Tools\\app.exe"},
      {"no letter names the device", {Device(L'C', L"\\Device\\HarddiskVolume1")}, image3.c_str(), L""},
      {"Z is tried last", {Device(L'Z', volume3)}, image3.c_str(), L"Z:\\Tools\\app.exe"},
      {"the image path cannot be read", {Device(L'C', volume3)}, nullptr, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    imagePath.devices = c.devices;
    imagePath.imageFileName = c.image;
    std::wstring expected = c.path.empty() ? L"" : c.path + L'\0';
    EXPECT_EQ(AsWide(GetProcessImagePath(1234)), expected);
    EXPECT_EQ(handles.closed, handles.opened);
  }
}

TEST_F(FakeDevices, ProcessThatCannotBeOpenedGivesNothing) {
  imagePath.openFails = true;
  imagePath.devices = {Device(L'C', L"\\Device\\HarddiskVolume3")};
  imagePath.imageFileName = L"\\Device\\HarddiskVolume3\\app.exe";
  EXPECT_TRUE(GetProcessImagePath(1234).empty());
  EXPECT_EQ(handles.opened, 0);
}

}  // namespace
