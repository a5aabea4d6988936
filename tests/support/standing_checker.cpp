#include "support/standing_checker.h"

#include <gtest/gtest.h>

#include "text/paths.h"

namespace dorvane::test {

namespace {
std::string Receipt(const std::string& input, const std::string& key) { return input + "|" + key; }
}  // namespace

std::optional<Job> StandingChecker::Journaled() const {
  JobJournal journal(mem_);
  const std::string dataDir = JoinPath(commonDir_, "ZTKDORVANE");
  journal.Open(mem_.IsDirectory(dataDir) ? dataDir : kora1Dir_);
  return journal.Job();
}

void StandingChecker::Taken(const Job& job) {
  taken_.insert(job.input);
  EXPECT_FALSE(executing_) << "job data for " << job.input << " handed over while KORA1 runs " << executing_->input;
  EXPECT_FALSE(printed_.count(Receipt(job.input, job.key))) << "a printed receipt handed over again: " << job.input;
}

void StandingChecker::Settled(const Job& s) {
  // Observers make their records before the input goes.
  EXPECT_TRUE(mem_.Has(s.input)) << "settled after its input was deleted: " << s.input;
  for (const std::string& name : s.filedAs) filed_[s.input] = name;
  // A receipt put by key is answered from its ledger record, never filed.
  if (!s.requestKey.empty()) taken_.erase(s.input);
}

void StandingChecker::FiledLater(const std::string& input, const std::vector<std::string>& filedAs) {
  for (const std::string& name : filedAs) filed_[input] = name;
}

void StandingChecker::Kora1Took(const std::optional<std::string>& data) {
  const std::optional<Job> job = Journaled();
  if (!job) {
    ADD_FAILURE() << "KORA1 took a job DORVANE never recorded";
    return;
  }
  EXPECT_FALSE(printed_.count(Receipt(job->input, job->key))) << "KORA1 took a printed receipt again: " << job->input;
  // A job file lost to a power cut reads as no data at all.
  const std::string bytes = data.value_or("");
  EXPECT_TRUE(data && bytes.size() == job->dataSize && JobChecksum(bytes) == job->dataChecksum)
      << "KORA1 runs other data than DORVANE recorded for " << job->input << ": " << bytes;
  executing_ = job;
}

void StandingChecker::Kora1Printed() {
  if (!executing_) {
    ADD_FAILURE() << "a FINESCO for no job taken";
    return;
  }
  EXPECT_TRUE(printed_.insert(Receipt(executing_->input, executing_->key)).second)
      << "a second FINESCO for " << executing_->input;
  executing_.reset();
}

void StandingChecker::ExpectNoneLost() const {
  for (const std::string& input : taken_) {
    const auto filed = filed_.find(input);
    EXPECT_TRUE(mem_.Has(input) || (filed != filed_.end() && mem_.Has(filed->second))) << input << " lost";
  }
}

}  // namespace dorvane::test
