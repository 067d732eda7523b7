#pragma once

// Counts the mutexes the calling thread locks while one of these lives. The
// Plugin tests are linked with every pthread_mutex_lock of the system and the
// framework routed through a counter (Tests/Plugin/LockCounting.cpp).
class LockCounting
{
public:
    LockCounting();
    ~LockCounting();

    int locksTaken() const;

    LockCounting (const LockCounting&) = delete;
    LockCounting& operator= (const LockCounting&) = delete;
};
