// The export queue: a cancelled run leaves nothing behind, the queue outlives a restart, and a
// damaged queue file starts an empty queue with a message.
#include "convert/ExportQueue.h"

#include "common/PendingFile.h"

#include "ConvertTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

using namespace vmxtest;
using vmx::ExportJob;
using vmx::ExportJobState;
using vmx::ExportQueue;

namespace {

// Notes what the queue tells; `onChanged` may call the queue back (on the queue's thread).
class Recorder : public ExportQueue::Listener {
public:
    std::function<void(const ExportJob&)> onChanged;

    void onJobChanged(const ExportJob& job) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_states.push_back(job.state);
        }
        if (onChanged)
            onChanged(job);
    }
    void onJobRemoved(std::uint64_t) override {}
    void onProblem(const std::string& message) override
    {
        std::lock_guard lock(m_mutex);
        m_problems.push_back(message);
    }
    std::vector<std::string> problems() const
    {
        std::lock_guard lock(m_mutex);
        return m_problems;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<ExportJobState> m_states;
    std::vector<std::string> m_problems;
};

std::vector<std::string> FilesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool AllFinished(const ExportQueue& queue)
{
    const std::vector<ExportJob> jobs = queue.jobs();
    return std::all_of(jobs.begin(), jobs.end(), [](const ExportJob& job) { return job.finished(); });
}

class ExportQueueTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(out()); }
    std::filesystem::path out() const { return dir / "out"; }
    std::string queueFile() const { return (dir / "queue").string(); }
    vmx::ExportJobOrder order(const std::string& baseName) const
    {
        vmx::ExportJobOrder order;
        order.title = "News " + baseName;
        order.partPaths = {SampleTransportStream()};
        order.outputFolder = out().string();
        order.baseName = baseName;
        return order;
    }

    TempDir dir;
};

// Cancelled while it runs, a job ends Cancelled and leaves the output folder empty: no file, no
// temporary file.
TEST_F(ExportQueueTest, CancelOfARunningJobLeavesNothing)
{
    Recorder recorder;
    ExportQueue* queue = nullptr;
    std::atomic<bool> asked{false};
    recorder.onChanged = [&](const ExportJob& job) {
        if (job.state == ExportJobState::Running && job.progress.percent > 0 && !asked.exchange(true)) {
            EXPECT_TRUE(queue->cancel(job.id));
        }
    };
    ExportQueue q(queueFile(), &recorder);
    queue = &q;
    const std::uint64_t id = q.add(order("film"));
    ASSERT_TRUE(WaitFor([&] { return AllFinished(q); }, 60));
    EXPECT_TRUE(asked);
    ASSERT_EQ(q.jobs().size(), 1u);
    EXPECT_EQ(q.jobs()[0].id, id);
    EXPECT_EQ(q.jobs()[0].state, ExportJobState::Cancelled);
    EXPECT_EQ(FilesIn(out()), std::vector<std::string>{});
    EXPECT_TRUE(recorder.problems().empty());
    // A finished job stays listed until removed.
    EXPECT_TRUE(q.remove(id));
    EXPECT_TRUE(q.jobs().empty());
}

// A queue file that lists a job that was running when the program ended and one that waited,
// beside the temporary file of the run that was killed: the new queue removes that file and
// runs both jobs to their files; the list, with both Done, is in the file for the next start.
TEST_F(ExportQueueTest, ARestartRunsTheJobsAgain)
{
    {
        // Written as a program that ended while its first job ran leaves it.
        std::string text = "velmorix export queue 1\n";
        for (const auto& [id, state, name] : {std::tuple{1, "running", "first"}, std::tuple{2, "waiting", "second"}}) {
            text += "job " + std::to_string(id) + " " + state + " mkv copy -1 0 0 0 auto 1\n";
            for (const std::string& field : {std::string("News ") + name, out().string(), std::string(name),
                                            std::string(), std::string(), SampleTransportStream()})
                text += std::to_string(field.size()) + ":" + field + "\n";
        }
        writeText(queueFile(), text);
    }
    const std::string leftover = ".velmorix~0123456789abcdef.tmp";
    ASSERT_TRUE(vmx::PendingFile::IsTemporaryName(leftover));
    writeText(out() / leftover, "half an export");

    Recorder recorder;
    std::vector<ExportJob> jobs;
    {
        ExportQueue queue(queueFile(), &recorder);
        EXPECT_EQ(queue.loadProblem(), "");
        ASSERT_TRUE(WaitFor([&] { return AllFinished(queue); }, 60));
        jobs = queue.jobs();
    }
    ASSERT_EQ(jobs.size(), 2u);
    for (const ExportJob& job : jobs) {
        EXPECT_EQ(job.state, ExportJobState::Done) << job.message;
        EXPECT_EQ(job.outputPath, (out() / (job.order.baseName + ".mkv")).string());
    }
    EXPECT_EQ(FilesIn(out()), (std::vector<std::string>{"first.mkv", "second.mkv"}));
    EXPECT_GT(std::filesystem::file_size(out() / "first.mkv"), 100000u);

    ExportQueue again(queueFile());
    ASSERT_EQ(again.jobs().size(), 2u);
    EXPECT_EQ(again.jobs()[1].order.title, "News second");
    EXPECT_EQ(again.jobs()[1].state, ExportJobState::Done);
}

// A queue file that is damaged or cannot be read: an empty queue that says why, nothing lost
// (a damaged file is kept aside) and no crash.
TEST_F(ExportQueueTest, ADamagedQueueFileStartsEmptyWithAMessage)
{
    const struct {
        const char* name;
        std::string content;  // empty: the path is a folder
        const char* said;
    } cases[] = {
        {"another version", "velmorix export queue 9\n", "is damaged"},
        {"garbage", std::string("\x00\xff\x13 nonsense", 13), "is damaged"},
        {"unknown state", "velmorix export queue 1\njob 1 flying mkv copy -1 0 0 0 auto 1\n1:a\n0:\n0:\n0:\n0:\n1:p\n",
         "is damaged"},
        {"cut short", "velmorix export queue 1\njob 1 waiting mkv copy -1 0 0 0 auto 1\n100:a\n", "is damaged"},
        {"a folder", "", "could not be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(queueFile());
        std::filesystem::remove_all(queueFile() + ".damaged");
        if (c.content.empty())
            std::filesystem::create_directory(queueFile());
        else
            writeText(queueFile(), c.content);
        Recorder recorder;
        ExportQueue queue(queueFile(), &recorder);
        EXPECT_TRUE(queue.jobs().empty());
        EXPECT_NE(queue.loadProblem().find(c.said), std::string::npos) << queue.loadProblem();
        EXPECT_TRUE(WaitFor([&] { return recorder.problems().size() == 1; }, 10));
        if (!c.content.empty()) {
            EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"out", "queue.damaged"}));
        }
    }
}

}  // namespace
