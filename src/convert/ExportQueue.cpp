#include "convert/ExportQueue.h"

#include "common/PendingFile.h"
#include "recording/TransferRate.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>

namespace vmx {

namespace {

// The file's first line; a file of another version is not read.
constexpr const char* kQueueHeader = "velmorix export queue 1";
// Progress is told at most this often, and at every percent.
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

template <typename Enum, std::size_t N>
const char* NameOf(Enum value, const char* const (&names)[N])
{
    const auto index = static_cast<std::size_t>(value);
    return index < N ? names[index] : "?";
}

template <typename Enum, std::size_t N>
std::optional<Enum> ValueOf(const std::string& name, const char* const (&names)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        if (name == names[i])
            return static_cast<Enum>(i);
    return std::nullopt;
}

const char* const kStateNames[] = {"waiting", "running", "done", "failed", "cancelled"};
const char* const kFormatNames[] = {"mkv", "mp4"};
const char* const kVideoNames[] = {"copy", "h264", "hevc"};
const char* const kDeinterlaceNames[] = {"auto", "on", "off"};

// A text of any bytes (a path may hold a line break): its length, a colon, the bytes, a line end.
void PutField(std::string& out, const std::string& text)
{
    out += std::to_string(text.size()) + ":" + text + "\n";
}

// Reads the file's lines and fields in turn; any departure from the format fails it.
class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}

    bool atEnd() const { return m_at >= m_text.size(); }

    bool line(std::string& out)
    {
        const std::size_t end = m_text.find('\n', m_at);
        if (end == std::string::npos)
            return false;
        out = m_text.substr(m_at, end - m_at);
        m_at = end + 1;
        return true;
    }

    bool field(std::string& out)
    {
        std::size_t length = 0, at = m_at;
        for (; at < m_text.size() && m_text[at] >= '0' && m_text[at] <= '9'; ++at) {
            if (length > m_text.size())
                return false;
            length = length * 10 + static_cast<std::size_t>(m_text[at] - '0');
        }
        if (at == m_at || at >= m_text.size() || m_text[at] != ':')
            return false;
        ++at;
        if (length > m_text.size() - at || at + length >= m_text.size() || m_text[at + length] != '\n')
            return false;
        out = m_text.substr(at, length);
        m_at = at + length + 1;
        return true;
    }

private:
    const std::string& m_text;
    std::size_t m_at = 0;
};

std::string Serialize(const std::vector<ExportJob>& jobs)
{
    std::string out = std::string(kQueueHeader) + "\n";
    for (const ExportJob& job : jobs) {
        const ExportJobOrder& order = job.order;
        char line[256];
        std::snprintf(line, sizeof line, "job %llu %s %s %s %d %d %d %d %s %zu\n",
                      static_cast<unsigned long long>(job.id), NameOf(job.state, kStateNames),
                      NameOf(order.format, kFormatNames), NameOf(order.encode.video, kVideoNames), order.encode.quality,
                      order.encode.width, order.encode.height, order.encode.hardware ? 1 : 0,
                      NameOf(order.encode.deinterlace, kDeinterlaceNames), order.partPaths.size());
        out += line;
        for (const std::string* text : {&order.title, &order.outputFolder, &order.baseName, &job.outputPath, &job.message})
            PutField(out, *text);
        for (const std::string& part : order.partPaths)
            PutField(out, part);
    }
    return out;
}

// The jobs of a queue file, or nothing when it is not one.
std::optional<std::vector<ExportJob>> Parse(const std::string& text)
{
    Reader reader(text);
    std::string line;
    if (!reader.line(line) || line != kQueueHeader)
        return std::nullopt;
    std::vector<ExportJob> jobs;
    while (!reader.atEnd()) {
        if (!reader.line(line))
            return std::nullopt;
        std::istringstream in(line);
        std::string word, state, format, video, deinterlace;
        unsigned long long id = 0;
        int hardware = 0;
        std::size_t parts = 0;
        ExportJob job;
        EncodeOptions& encode = job.order.encode;
        in >> word >> id >> state >> format >> video >> encode.quality >> encode.width >> encode.height >> hardware >>
            deinterlace >> parts;
        const auto stateValue = ValueOf<ExportJobState>(state, kStateNames);
        const auto formatValue = ValueOf<ExportFormat>(format, kFormatNames);
        const auto videoValue = ValueOf<ExportVideo>(video, kVideoNames);
        const auto deinterlaceValue = ValueOf<Deinterlace>(deinterlace, kDeinterlaceNames);
        if (!in || !(in >> std::ws).eof() || word != "job" || id == 0 || !stateValue || !formatValue || !videoValue ||
            !deinterlaceValue || parts == 0 || parts > 10000)
            return std::nullopt;
        job.id = id;
        job.state = *stateValue;
        job.order.format = *formatValue;
        encode.video = *videoValue;
        encode.deinterlace = *deinterlaceValue;
        encode.hardware = hardware != 0;
        for (std::string* field :
             {&job.order.title, &job.order.outputFolder, &job.order.baseName, &job.outputPath, &job.message})
            if (!reader.field(*field))
                return std::nullopt;
        job.order.partPaths.resize(parts);
        for (std::string& part : job.order.partPaths)
            if (!reader.field(part))
                return std::nullopt;
        if (job.state == ExportJobState::Done)
            job.progress.percent = 100;
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// 0 or the errno value of the failure.
int ReadWholeFile(const std::string& path, std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return errno;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    const int error = std::ferror(file) ? (errno ? errno : EIO) : 0;
    std::fclose(file);
    return error;
}

std::string FolderWithSlash(const std::string& folder)
{
    return folder.empty() || folder.ends_with('/') ? folder : folder + "/";
}

}  // namespace

const char* ExportJobStateName(ExportJobState state)
{
    switch (state) {
    case ExportJobState::Waiting: return "Waiting";
    case ExportJobState::Running: return "Running";
    case ExportJobState::Done: return "Done";
    case ExportJobState::Failed: return "Failed";
    case ExportJobState::Cancelled: return "Cancelled";
    }
    return "";
}

ExportQueue::ExportQueue(std::string queueFile, Listener* listener)
    : m_file(std::move(queueFile)), m_listener(listener)
{
    load();
    m_thread = std::thread([this] { run(); });
}

ExportQueue::~ExportQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ExportQueue::load()
{
    if (m_file.empty())
        return;
    std::error_code ec;
    if (!std::filesystem::exists(m_file, ec) && !ec)
        return;
    std::string text;
    if (const int error = ReadWholeFile(m_file, text); error != 0) {
        m_loadProblem = "The export queue could not be read from " + m_file + ": " + std::strerror(error) +
                        ". It starts empty.";
        return;
    }
    std::optional<std::vector<ExportJob>> jobs = Parse(text);
    if (!jobs) {
        // Kept aside, so that nothing the user listed is lost with it, and out of the way of
        // the list written from now on.
        const std::string aside = m_file + ".damaged";
        std::filesystem::rename(m_file, aside, ec);
        m_loadProblem = "The export queue in " + m_file + " is damaged; it starts empty." +
                        (ec ? "" : " The file was kept as " + aside + ".");
        return;
    }
    m_jobs = std::move(*jobs);
    for (ExportJob& job : m_jobs) {
        m_nextId = std::max(m_nextId, job.id + 1);
        if (job.state != ExportJobState::Running)
            continue;
        // The program ended while this one ran: what its run left behind goes, and it runs again.
        job.state = ExportJobState::Waiting;
        job.outputPath.clear();
        (void)PendingFile::RemoveAbandoned(FolderWithSlash(job.order.outputFolder));
    }
}

std::uint64_t ExportQueue::add(const ExportJobOrder& order)
{
    std::uint64_t id = 0;
    {
        std::lock_guard lock(m_mutex);
        ExportJob job;
        job.id = id = m_nextId++;
        job.order = order;
        m_jobs.push_back(std::move(job));
        noteChangedLocked(id);
        saveLocked();
    }
    m_wake.notify_all();
    return id;
}

bool ExportQueue::cancel(std::uint64_t id)
{
    {
        std::lock_guard lock(m_mutex);
        ExportJob* job = find(id);
        if (!job || job->finished())
            return false;
        if (id == m_running) {
            // The run's next progress step stops it; its end makes the job Cancelled.
            m_cancelRunning = true;
        } else {
            job->state = ExportJobState::Cancelled;
            noteChangedLocked(id);
            saveLocked();
        }
    }
    m_wake.notify_all();
    return true;
}

bool ExportQueue::remove(std::uint64_t id)
{
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [id](const ExportJob& job) { return job.id == id; });
        if (it == m_jobs.end() || !it->finished())
            return false;
        m_jobs.erase(it);
        m_notices.push_back({Notice::Kind::Removed, id, {}});
        saveLocked();
    }
    m_wake.notify_all();
    return true;
}

void ExportQueue::clearFinished()
{
    {
        std::lock_guard lock(m_mutex);
        const auto finished = std::stable_partition(m_jobs.begin(), m_jobs.end(),
                                                    [](const ExportJob& job) { return !job.finished(); });
        if (finished == m_jobs.end())
            return;
        for (auto it = finished; it != m_jobs.end(); ++it)
            m_notices.push_back({Notice::Kind::Removed, it->id, {}});
        m_jobs.erase(finished, m_jobs.end());
        saveLocked();
    }
    m_wake.notify_all();
}

std::vector<ExportJob> ExportQueue::jobs() const
{
    std::lock_guard lock(m_mutex);
    return m_jobs;
}

ExportJob* ExportQueue::find(std::uint64_t id)
{
    const auto it = std::find_if(m_jobs.begin(), m_jobs.end(), [id](const ExportJob& job) { return job.id == id; });
    return it == m_jobs.end() ? nullptr : &*it;
}

void ExportQueue::noteChangedLocked(std::uint64_t id)
{
    m_notices.push_back({Notice::Kind::Changed, id, {}});
}

void ExportQueue::saveLocked()
{
    if (m_file.empty())
        return;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_file).parent_path(), ec);
    const std::string text = Serialize(m_jobs);
    const int error = WriteFileDurably(m_file, text.data(), text.size(), 0600);
    std::string problem;
    if (error != 0)
        problem = "The export queue could not be saved to " + m_file + ": " + std::strerror(error) +
                  ". The jobs run now but would not be listed after a restart.";
    if (problem != m_lastSaveProblem && !problem.empty())
        m_notices.push_back({Notice::Kind::Problem, 0, problem});
    m_lastSaveProblem = problem;
}

void ExportQueue::deliverNotices()
{
    for (;;) {
        Notice notice;
        std::optional<ExportJob> job;
        {
            std::lock_guard lock(m_mutex);
            if (m_notices.empty())
                return;
            notice = std::move(m_notices.front());
            m_notices.pop_front();
            if (notice.kind == Notice::Kind::Changed) {
                const ExportJob* found = find(notice.id);
                if (!found)
                    continue;  // removed since; its removal follows
                job = *found;
            }
        }
        if (!m_listener)
            continue;
        switch (notice.kind) {
        case Notice::Kind::Changed: m_listener->onJobChanged(*job); break;
        case Notice::Kind::Removed: m_listener->onJobRemoved(notice.id); break;
        case Notice::Kind::Problem: m_listener->onProblem(notice.text); break;
        }
    }
}

void ExportQueue::run()
{
    if (!m_loadProblem.empty() && m_listener)
        m_listener->onProblem(m_loadProblem);
    for (;;) {
        deliverNotices();
        std::uint64_t next = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] {
                return m_quit || !m_notices.empty() ||
                       std::any_of(m_jobs.begin(), m_jobs.end(),
                                   [](const ExportJob& job) { return job.state == ExportJobState::Waiting; });
            });
            if (m_quit)
                break;
            if (!m_notices.empty())
                continue;
            const auto it = std::find_if(m_jobs.begin(), m_jobs.end(),
                                         [](const ExportJob& job) { return job.state == ExportJobState::Waiting; });
            next = it->id;
        }
        runJob(next);
    }
    deliverNotices();
}

void ExportQueue::runJob(std::uint64_t id)
{
    ExportRequest request;
    {
        std::lock_guard lock(m_mutex);
        ExportJob* job = find(id);
        job->state = ExportJobState::Running;
        job->message.clear();
        job->progress = {};
        job->outputPath = FreeExportPath(job->order.outputFolder, job->order.baseName, job->order.format);
        request.partPaths = job->order.partPaths;
        request.outputPath = job->outputPath;
        request.format = job->order.format;
        request.encode = job->order.encode;
        m_running = id;
        m_cancelRunning = false;
        noteChangedLocked(id);
        saveLocked();
    }
    deliverNotices();

    TransferRate rate;
    auto lastTold = TransferRate::Clock::now();
    int lastPercent = -1;
    const ExportResult result = ExportRecording(request, [&](std::uint64_t read, std::uint64_t total) {
        const auto now = TransferRate::Clock::now();
        rate.add(now, read);
        const int percent = total ? static_cast<int>(std::min<std::uint64_t>(read, total) * 100 / total) : 0;
        if (percent != lastPercent || now - lastTold >= kProgressInterval) {
            lastPercent = percent;
            lastTold = now;
            const std::optional<std::chrono::seconds> left = rate.timeLeft(total);
            std::lock_guard lock(m_mutex);
            ExportJob* job = find(id);
            job->progress.percent = percent;
            job->progress.bytesPerSecond = rate.bytesPerSecond().value_or(0);
            job->progress.secondsLeft = left ? double(left->count()) : -1;
            noteChangedLocked(id);
        }
        deliverNotices();
        std::lock_guard lock(m_mutex);
        return !m_cancelRunning && !m_quit;
    });

    {
        std::lock_guard lock(m_mutex);
        ExportJob* job = find(id);
        m_running = 0;
        if (result.ok) {
            job->state = ExportJobState::Done;
            job->progress.percent = 100;
            job->progress.secondsLeft = 0;
        } else if (result.stopped && !m_cancelRunning) {
            // The program is ending: the job runs again at its next start.
            job->state = ExportJobState::Waiting;
            job->outputPath.clear();
            job->progress = {};
        } else if (result.stopped) {
            job->state = ExportJobState::Cancelled;
        } else {
            job->state = ExportJobState::Failed;
            job->message = result.error;
        }
        if (job->state != ExportJobState::Done)
            job->outputPath.clear();
        m_cancelRunning = false;
        noteChangedLocked(id);
        saveLocked();
    }
    deliverNotices();
}

}  // namespace vmx
