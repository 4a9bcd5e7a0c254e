#include "platform/win/core/winapi.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <thread>

namespace WinCore {

namespace {

constexpr DWORD ReadWaitMs = 5000;
constexpr DWORD AnswerWaitMs = 5000;
constexpr DWORD WriteWaitMs = 1000;
// How long the answer waits in the pipe for its sender to read it and hang up.
constexpr DWORD HangUpWaitMs = 1000;
constexpr std::size_t MaxLineBytes = 64 * 1024;
constexpr UINT LineReceived = WM_APP + 1;

std::wstring pipePath(const std::wstring& name)
{
    return L"\\\\.\\pipe\\" + name;
}

// A handle closed when it goes.
struct OwnedHandle {
    HANDLE handle = nullptr;
    explicit OwnedHandle(HANDLE h)
        : handle(h == INVALID_HANDLE_VALUE ? nullptr : h)
    { }
    ~OwnedHandle()
    {
        if (handle)
            CloseHandle(handle);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
};

DWORD remainingMs(ULONGLONG deadline)
{
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Waits for an overlapped operation on the pipe that has been started (started: the call
// returned TRUE or ERROR_IO_PENDING), or the time is up, or stop (when given) is signalled;
// an operation that did not end is cancelled. True when it ended well; moved gets its bytes.
bool finish(HANDLE pipe, OVERLAPPED& io, bool started, DWORD timeoutMs, HANDLE stop, DWORD& moved)
{
    moved = 0;
    if (!started)
        return false;
    const HANDLE objects[] = {io.hEvent, stop};
    const DWORD waited = WaitForMultipleObjects(stop ? 2 : 1, objects, FALSE, timeoutMs);
    if (waited != WAIT_OBJECT_0)
        CancelIoEx(pipe, &io);
    const bool ended = GetOverlappedResult(pipe, &io, &moved, TRUE) != FALSE;
    return waited == WAIT_OBJECT_0 && ended;
}

bool begun(BOOL result)
{
    return result || GetLastError() == ERROR_IO_PENDING;
}

bool readSome(HANDLE pipe, OVERLAPPED& io, char* buffer, DWORD size, DWORD timeoutMs, HANDLE stop, DWORD& read)
{
    ResetEvent(io.hEvent);
    return finish(pipe, io, begun(ReadFile(pipe, buffer, size, nullptr, &io)), timeoutMs, stop, read) && read > 0;
}

bool writeAll(HANDLE pipe, OVERLAPPED& io, const std::string& data, DWORD timeoutMs, HANDLE stop)
{
    ResetEvent(io.hEvent);
    DWORD written = 0;
    const auto size = static_cast<DWORD>(data.size());
    return finish(pipe, io, begun(WriteFile(pipe, data.data(), size, nullptr, &io)), timeoutMs, stop, written)
        && written == size;
}

// Reads up to the first line end, within the time; no value on a shorter or longer text.
std::optional<std::string> readLine(HANDLE pipe, OVERLAPPED& io, DWORD timeoutMs, HANDLE stop)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::string text;
    char buffer[1024];
    for (;;) {
        const std::size_t end = text.find('\n');
        if (end != std::string::npos)
            return text.substr(0, end);
        if (text.size() > MaxLineBytes)
            return std::nullopt;
        DWORD read = 0;
        if (!readSome(pipe, io, buffer, sizeof buffer, remainingMs(deadline), stop, read))
            return std::nullopt;
        text.append(buffer, read);
    }
}

} // namespace

struct PipeServer::State {
    Answer answer;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    OwnedHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    OwnedHandle answered{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::unique_ptr<MessageWindow> window;
    std::thread listener;

    std::mutex mutex;
    // The line waiting for its answer, by its number (0: none waits).
    std::uint64_t waiting = 0;
    std::uint64_t lastNumber = 0;
    std::string line;
    std::optional<std::string> reply;

    // On the thread that made the server.
    void answerWaitingLine(std::uint64_t number);
    // On the listener thread.
    void serve();
    void serveSender(OVERLAPPED& io);
    std::optional<std::string> askForAnswer(const std::string& received);
};

void PipeServer::State::answerWaitingLine(std::uint64_t number)
{
    std::string received;
    {
        const std::lock_guard lock(mutex);
        // The listener gave up on this one meanwhile.
        if (number != waiting)
            return;
        received = line;
    }
    std::optional<std::string> result;
    try {
        result = answer(received);
    } catch (...) {
        // Nothing may escape into the window procedure; the sender goes unanswered.
    }
    {
        const std::lock_guard lock(mutex);
        if (number != waiting)
            return;
        reply = std::move(result);
        waiting = 0;
    }
    SetEvent(answered.handle);
}

std::optional<std::string> PipeServer::State::askForAnswer(const std::string& received)
{
    std::uint64_t number = 0;
    {
        const std::lock_guard lock(mutex);
        number = ++lastNumber;
        waiting = number;
        line = received;
        reply.reset();
    }
    ResetEvent(answered.handle);
    PostMessageW(window->handle(), LineReceived, static_cast<WPARAM>(number), 0);
    const HANDLE objects[] = {answered.handle, stop.handle};
    WaitForMultipleObjects(2, objects, FALSE, AnswerWaitMs);
    const std::lock_guard lock(mutex);
    // Not answered in time: an answer coming later is not taken.
    if (waiting == number) {
        waiting = 0;
        return std::nullopt;
    }
    return std::move(reply);
}

void PipeServer::State::serveSender(OVERLAPPED& io)
{
    const std::optional<std::string> received = readLine(pipe, io, ReadWaitMs, stop.handle);
    if (!received)
        return;
    const std::optional<std::string> result = askForAnswer(*received);
    if (!result || !writeAll(pipe, io, *result + '\n', WriteWaitMs, stop.handle))
        return;
    // Disconnecting throws away what the sender has not read yet: wait for it to hang up.
    char rest[256];
    DWORD read = 0;
    const ULONGLONG deadline = GetTickCount64() + HangUpWaitMs;
    while (readSome(pipe, io, rest, sizeof rest, remainingMs(deadline), stop.handle, read)) { }
}

void PipeServer::State::serve()
{
    OwnedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.handle)
        return;
    OVERLAPPED io{};
    io.hEvent = event.handle;
    while (WaitForSingleObject(stop.handle, 0) != WAIT_OBJECT_0) {
        ResetEvent(io.hEvent);
        bool connected = ConnectNamedPipe(pipe, &io) != FALSE;
        const DWORD error = connected ? ERROR_SUCCESS : GetLastError();
        DWORD ignored = 0;
        if (error == ERROR_IO_PENDING)
            connected = finish(pipe, io, true, INFINITE, stop.handle, ignored);
        else if (error == ERROR_PIPE_CONNECTED)
            connected = true;
        else if (error != ERROR_NO_DATA)
            WaitForSingleObject(stop.handle, 100);
        if (connected)
            serveSender(io);
        DisconnectNamedPipe(pipe);
    }
}

PipeServer::PipeServer(const std::wstring& name, Answer answer)
    : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    if (!state.stop.handle || !state.answered.handle)
        return;
    // One instance, and the first: a second listener on the name is refused.
    state.pipe = CreateNamedPipeW(
        pipePath(name).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 4096, 0, nullptr);
    if (state.pipe == INVALID_HANDLE_VALUE)
        return;
    state.answer = std::move(answer);
    State* raw = &state;
    state.window = std::make_unique<MessageWindow>([raw](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
        if (message != LineReceived)
            return false;
        raw->answerWaitingLine(static_cast<std::uint64_t>(wParam));
        result = 0;
        return true;
    });
    state.listener = std::thread([raw] { raw->serve(); });
}

PipeServer::~PipeServer()
{
    State& state = *m_state;
    if (state.listener.joinable()) {
        SetEvent(state.stop.handle);
        state.listener.join();
    }
    if (state.pipe != INVALID_HANDLE_VALUE)
        CloseHandle(state.pipe);
}

bool PipeServer::listening() const
{
    return m_state->listener.joinable();
}

std::optional<std::string> pipeRequest(const std::wstring& name, const std::string& line, int connectWaitMs,
                                       int answerWaitMs)
{
    const std::wstring path = pipePath(name);
    const ULONGLONG connectDeadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(connectWaitMs, 0));
    HANDLE opened = INVALID_HANDLE_VALUE;
    for (;;) {
        opened = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
        if (opened != INVALID_HANDLE_VALUE)
            break;
        // Busy: the listener serves another sender, or is between two.
        if (GetLastError() != ERROR_PIPE_BUSY)
            return std::nullopt;
        const DWORD left = remainingMs(connectDeadline);
        if (left == 0)
            return std::nullopt;
        if (!WaitNamedPipeW(path.c_str(), left) && GetLastError() != ERROR_FILE_NOT_FOUND)
            Sleep(std::min<DWORD>(left, 10));
    }
    const OwnedHandle pipe(opened);
    OwnedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.handle)
        return std::nullopt;
    OVERLAPPED io{};
    io.hEvent = event.handle;
    if (!writeAll(pipe.handle, io, line + '\n', remainingMs(connectDeadline) + WriteWaitMs, nullptr))
        return std::nullopt;
    return readLine(pipe.handle, io, static_cast<DWORD>(std::max(answerWaitMs, 0)), nullptr);
}

} // namespace WinCore
