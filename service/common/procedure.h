// The service's failure convention as one helper: a procedure runs each of its
// steps through Run(); a step that throws becomes one error-log entry (number,
// description, the procedure's name, the statement in progress) and the
// procedure goes on with its next step. ProgramEnd is never caught here.
//
//   Procedure p(log, "DB_Preisdaten");
//   p.At(3).With(sql).Run([&] { db.Execute(sql); });
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "service/common/failure.h"
#include "service/common/fehler_log.h"
#include "service/common/status.h"

namespace velunor {

class Procedure {
 public:
  Procedure(FehlerLog& log, std::string_view name) : log_(log), name_(name) {}

  // Progress marker: from now on descriptions read "Zeile: <line> <description>".
  Procedure& At(int line) {
    line_ = line;
    return *this;
  }
  // The statement in progress, written as the entry's context.
  Procedure& With(std::string context) {
    context_ = std::move(context);
    return *this;
  }

  // Runs step; returns true when it finished without failure.
  template <class F>
  bool Run(F&& step) {
    try {
      std::forward<F>(step)();
      return true;
    } catch (const std::exception&) {
      const CaughtError error = CurrentError();
      Log(error.number, error.description);
    }
    return false;
  }

  // Writes an entry for a failure that was detected without an exception.
  void Log(int32_t number, const std::string& description) {
    const std::string text =
        line_ > 0 ? "Zeile: " + std::to_string(line_) + " " + description : description;
    log_.Write(number, text, name_, context_);
    ++failures_;
  }

  // A procedure's result that is not ok becomes one entry, as a step that
  // threw its number and text; true when ok.
  bool Check(const Status& status) {
    if (status.ok()) return true;
    Log(status.code(), status.message());
    return false;
  }

  int failures() const { return failures_; }
  FehlerLog& log() const { return log_; }
  const std::string& name() const { return name_; }
  const std::string& context() const { return context_; }

 private:
  FehlerLog& log_;
  std::string name_;
  std::string context_;
  int line_ = 0;
  int failures_ = 0;
};

}  // namespace velunor
