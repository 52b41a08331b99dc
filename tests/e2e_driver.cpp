#include "tests/e2e_driver.h"

#include <fstream>
#include <regex>
#include <thread>

namespace e2e {

namespace {

constexpr DWORD kSendTimeoutMs = 5000;

struct FindContext {
  DWORD processId;
  const wchar_t* className;
  std::vector<HWND>* found;
};

bool HasClass(HWND window, const wchar_t* className) {
  wchar_t name[64];
  return GetClassNameW(window, name, 64) && lstrcmpiW(name, className) == 0;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
  auto* c = reinterpret_cast<FindContext*>(context);
  if (!IsWindowVisible(window) || !HasClass(window, c->className)) return TRUE;
  if (c->processId && ProcessOf(window) != c->processId) return TRUE;
  c->found->push_back(window);
  return TRUE;
}

struct ChildContext {
  int id;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK FindChildWithId(HWND window, LPARAM context) {
  auto* c = reinterpret_cast<ChildContext*>(context);
  if (GetDlgCtrlID(window) != c->id) return TRUE;
  if (c->className && !HasClass(window, c->className)) return TRUE;
  c->found = window;
  return FALSE;
}

// Wine prints a wide string argument as L"..." with \n, \r, \t, \", \\ and
// \xxxx (four hex digits) for everything outside printable ASCII.
std::wstring UnescapeRelayString(const std::string& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += static_cast<wchar_t>(static_cast<unsigned char>(s[i]));
      continue;
    }
    char e = s[++i];
    switch (e) {
      case 'n': out += L'\n'; break;
      case 'r': out += L'\r'; break;
      case 't': out += L'\t'; break;
      default:
        if (isxdigit(static_cast<unsigned char>(e)) && i + 3 < s.size()) {
          out += static_cast<wchar_t>(std::stoul(s.substr(i, 4), nullptr, 16));
          i += 3;
        } else {
          out += static_cast<wchar_t>(static_cast<unsigned char>(e));
        }
    }
  }
  return out;
}

struct TextOutCall {
  DWORD processId;
  unsigned long long dc;
  std::wstring text;
};

std::vector<TextOutCall> TextOutCalls() {
  std::vector<TextOutCall> calls;
  std::ifstream file(TracePath().c_str(), std::ios::binary);
  // pid:tid:Call gdi32.TextOutW(dc,x,y,address L"text",count) ret=...
  static const std::regex call(
      R"(^([0-9a-f]+):[0-9a-f]+:Call gdi32\.TextOutW\(([0-9a-f]+),[0-9a-f]+,[0-9a-f]+,[0-9a-f]+ L"((?:[^"\\]|\\.)*)\"(\.\.\.)?,[0-9a-f]+\))");
  std::string line;
  while (std::getline(file, line)) {
    if (line.find("gdi32.TextOutW(") == std::string::npos) continue;
    std::smatch m;
    if (!std::regex_search(line, m, call)) continue;
    calls.push_back({static_cast<DWORD>(std::stoul(m[1], nullptr, 16)), std::stoull(m[2], nullptr, 16),
                     UnescapeRelayString(m[3])});
  }
  return calls;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds patience) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::wstring ExeDirectory() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return p.substr(0, p.rfind(L'\\'));
}

std::string ContentsOf(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string contents;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read) contents.append(chunk, read);
  CloseHandle(file);
  return contents;
}

// ---- Windows of other processes --------------------------------------------

std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className) {
  std::vector<HWND> found;
  FindContext context{processId, className, &found};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&context));
  return found;
}

std::vector<HWND> WindowsOfClass(const wchar_t* className) { return WindowsOf(0, className); }

DWORD ProcessOf(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  return id;
}

HWND ChildWithId(HWND parent, int id, const wchar_t* className) {
  ChildContext context{id, className, nullptr};
  EnumChildWindows(parent, FindChildWithId, reinterpret_cast<LPARAM>(&context));
  return context.found;
}

std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
    return std::string();
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &copied))
    return std::string();
  text.resize(copied);
  return To936(text);
}

bool SetTextOf(HWND window, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result) &&
         result;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

bool Sync(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
}

// ---- Processes -------------------------------------------------------------

DWORD ParentOf(DWORD processId) {
  for (const ProcessEntry& p : Processes())
    if (p.id == processId) return p.parent;
  return 0;
}

std::wstring LongPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2];
  DWORD n = GetLongPathNameW(path.c_str(), full, MAX_PATH * 2);
  return n && n < MAX_PATH * 2 ? std::wstring(full, n) : path;
}

std::wstring ImagePathOf(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return std::wstring();
  wchar_t path[MAX_PATH * 2];
  DWORD n = MAX_PATH * 2;
  BOOL ok = QueryFullProcessImageNameW(process, 0, path, &n);
  CloseHandle(process);
  return ok ? LongPath(std::wstring(path, n)) : std::wstring();
}

OwnedProcess::~OwnedProcess() {
  End();
  if (handle_) CloseHandle(handle_);
}

OwnedProcess::OwnedProcess(OwnedProcess&& other) noexcept : handle_(other.handle_), id_(other.id_) {
  other.handle_ = nullptr;
  other.id_ = 0;
}

OwnedProcess& OwnedProcess::operator=(OwnedProcess&& other) noexcept {
  if (this != &other) {
    End();
    if (handle_) CloseHandle(handle_);
    handle_ = other.handle_;
    id_ = other.id_;
    other.handle_ = nullptr;
    other.id_ = 0;
  }
  return *this;
}

bool OwnedProcess::running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

DWORD OwnedProcess::WaitForExit(std::chrono::milliseconds patience) const {
  if (!handle_) return STILL_ACTIVE;
  if (WaitForSingleObject(handle_, static_cast<DWORD>(patience.count())) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(handle_, &code);
  return code;
}

void OwnedProcess::End() {
  if (!running()) return;
  TerminateProcess(handle_, 1);
  WaitForSingleObject(handle_, 5000);
}

OwnedProcess Start(const std::wstring& path, const wchar_t* environment) {
  PROCESS_INFORMATION started;
  if (!LaunchQuietly(path, std::wstring(), environment, &started)) return OwnedProcess();
  return OwnedProcess(started.hProcess, started.dwProcessId);
}

// ---- The relay trace -------------------------------------------------------

std::wstring TracePath() {
  wchar_t unixPath[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"KEEPFRESH_E2E_TRACE", unixPath, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  // Wine's drive Z: is the unix root.
  std::wstring path = L"Z:" + std::wstring(unixPath, n);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

std::wstring TracingEnvironment() {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* p = strings; *p; p += lstrlenW(p) + 1) {
    if (_wcsnicmp(p, L"WINEDEBUG=", 10) == 0) continue;
    block.append(p);
    block.push_back(L'\0');
  }
  FreeEnvironmentStringsW(strings);
  // +pid puts the process id in front of each line.
  block.append(L"WINEDEBUG=-all,+pid,+relay");
  block.push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

namespace {
const wchar_t kDebugKey[] = L"Software\\Wine\\Debug";
const wchar_t kRelayInclude[] = L"RelayInclude";
}  // namespace

RelayFilter::RelayFilter() {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kDebugKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr))
    return;
  wchar_t value[1024];
  DWORD size = sizeof value, type = 0;
  if (!RegQueryValueExW(key, kRelayInclude, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) &&
      type == REG_SZ) {
    hadValue_ = true;
    before_.assign(value, size / sizeof(wchar_t));
    while (!before_.empty() && before_.back() == L'\0') before_.pop_back();
  }
  const wchar_t filter[] = L"gdi32.TextOutW";
  RegSetValueExW(key, kRelayInclude, 0, REG_SZ, reinterpret_cast<const BYTE*>(filter), sizeof filter);
  RegCloseKey(key);
}

RelayFilter::~RelayFilter() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kDebugKey, 0, KEY_WRITE, &key)) return;
  if (hadValue_)
    RegSetValueExW(key, kRelayInclude, 0, REG_SZ, reinterpret_cast<const BYTE*>(before_.c_str()),
                   static_cast<DWORD>((before_.size() + 1) * sizeof(wchar_t)));
  else
    RegDeleteValueW(key, kRelayInclude);
  RegCloseKey(key);
}

std::vector<LogLine> LogOf(DWORD processId) {
  // Each line is drawn twice, into the persistent image first and then on
  // the screen; the image's DC is the one of the first line.
  std::vector<LogLine> lines;
  bool haveImage = false;
  unsigned long long image = 0;
  for (const TextOutCall& call : TextOutCalls()) {
    if (call.processId != processId) continue;
    std::string text = To936(call.text);
    size_t cut = text.find("----");
    if (cut == std::string::npos) continue;
    if (!haveImage) {
      haveImage = true;
      image = call.dc;
    }
    if (call.dc != image) continue;
    lines.push_back({text.substr(0, cut), text.substr(cut + 4)});
  }
  return lines;
}

std::vector<std::string> LogMessagesOf(DWORD processId) {
  std::vector<std::string> messages;
  for (const LogLine& line : LogOf(processId)) messages.push_back(line.message);
  return messages;
}

// ---- KeepFresh -------------------------------------------------------------

namespace {
const wchar_t kMainWindowClass[] = L"KeepFreshMainWindow";

HWND WaitForMainWindow(DWORD processId) {
  HWND window = nullptr;
  WaitUntil([&] {
    std::vector<HWND> found = WindowsOf(processId, kMainWindowClass);
    window = found.empty() ? nullptr : found.front();
    return window != nullptr;
  });
  return window;
}
}  // namespace

KeepFresh KeepFresh::Launch(const std::wstring& exePath) {
  KeepFresh app;
  std::wstring environment = TracingEnvironment();
  app.process_ = Start(exePath, environment.c_str());
  if (app.process_.handle()) app.window_ = WaitForMainWindow(app.process_.id());
  return app;
}

KeepFresh KeepFresh::Adopt(HWND window) {
  KeepFresh app;
  DWORD id = ProcessOf(window);
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
  app.process_ = OwnedProcess(process, id);
  app.window_ = window;
  return app;
}

HWND KeepFresh::control(Control c) const { return GetDlgItem(window_, ControlId(c)); }

std::string KeepFresh::TextOf(Control c) const { return e2e::TextOf(control(c)); }

bool KeepFresh::SetText(Control c, const std::wstring& text) const { return SetTextOf(control(c), text); }

void KeepFresh::Click(Control c) const { e2e::Click(control(c)); }

HWND KeepFresh::ErrorBox() const {
  for (HWND box : WindowsOf(id(), L"#32770"))
    if (GetWindow(box, GW_OWNER) == nullptr) return box;
  return nullptr;
}

HWND KeepFresh::FileDialog() const {
  for (HWND dialog : WindowsOf(id(), L"#32770"))
    if (GetWindow(dialog, GW_OWNER) == window_) return dialog;
  return nullptr;
}

std::string MessageOf(HWND box) { return e2e::TextOf(GetDlgItem(box, 0xFFFF)); }

// The dialog's own buttons; a toolbar in the file dialog also has the id 1.
void PressOk(HWND dialog) { Click(ChildWithId(dialog, IDOK, L"Button")); }
void PressCancel(HWND dialog) { Click(ChildWithId(dialog, IDCANCEL, L"Button")); }

bool TypeFileName(HWND dialog, const std::wstring& path) {
  HWND field = ChildWithId(dialog, 0x47C);
  return field && SetTextOf(field, path);
}

}  // namespace e2e
