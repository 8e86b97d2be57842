#pragma once

namespace vmx {

// Owns a file descriptor and closes it when it goes out of scope.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool ok() const { return m_fd >= 0; }
    explicit operator bool() const { return ok(); }
    int release();
    void reset(int fd = -1);
    // Closes the descriptor and reports whether close() succeeded (a write error can show up
    // only here on some file systems).
    bool close();

private:
    int m_fd = -1;
};

}  // namespace vmx
