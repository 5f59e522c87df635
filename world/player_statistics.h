// A company's bookkeeping: eleven rows of this year, last year and total,
// eight accounts, and the income and expenses of every year since 1850.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

class PlayerStatistics {
public:
    static constexpr uint32_t kRowCount = 11;
    static constexpr uint32_t kAccountCount = 8;
    static constexpr uint32_t kInitialHistoryYears = 100;
    // No history reaches past this many years (the clock's year can grow
    // without bound in a damaged save).
    static constexpr uint32_t kMaxHistoryYears = 20000;
    static constexpr uint32_t kHistoryFirstYear = 1850;

    struct Row {
        int64_t thisYear = 0;
        int64_t lastYear = 0;
        int64_t total = 0;
    };
    // Income and expenses of one year.
    using YearPair = std::pair<int64_t, int64_t>;

    PlayerStatistics() { Reset(); }
    virtual ~PlayerStatistics() = default;

    // Clears everything and sizes the rows, accounts and history.
    void Reset();
    // Chunks "pst1" (rows), "pst2" (accounts) and "pst3" (history).
    void Serialize();
    // Closes the year that ended before `year` began: its sums go into the
    // history and every row's this year moves to last year.
    void OnNewYear(uint32_t year);

    // column 0 this year, 1 last year, 2 total; 0 outside.
    int64_t GetValue(uint32_t row, uint32_t column) const;
    // Income (rows 7-9) and expenses (rows 0-6) in one column.
    int64_t GetRowSum(uint32_t column) const;
    int64_t GetExpenseSum(uint32_t column) const;
    void AddToRow(uint32_t row, int64_t amount);
    int64_t GetAccount(uint32_t index) const;
    void AddToAccount(uint32_t index, int64_t amount);
    // Adds to the account of a booking category 1-18; others book nothing.
    void Book(int32_t category, int64_t amount);
    // i = 0 income, 1 expenses of a year; 0 where the history has none.
    int64_t GetYearValue(uint32_t year, uint32_t i) const;

    const std::vector<Row>& Rows() const { return rows_; }
    const std::vector<int64_t>& Accounts() const { return accounts_; }
    const std::vector<YearPair>& YearHistory() const { return history_; }

private:
    std::vector<Row> rows_;
    std::vector<int64_t> accounts_;
    std::vector<YearPair> history_;
};
