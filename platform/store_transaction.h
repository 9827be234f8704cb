// The scope of a transaction of one of the root's databases (the registry, the property
// databases), as their implementations hand it out. Writes made while a scope is open commit
// together or not at all.
#pragma once

namespace quillet {

class TransactionScope {
 public:
  // A scope ended without a successful Commit rolls back what the outermost scope would have
  // committed.
  virtual ~TransactionScope() = default;
  // Ends the scope. Scopes nest: only the outermost one commits, an inner one only ends. True
  // when the scope was open and (for the outermost) its writes are stored; false when it never
  // began, was already ended, or the commit failed (the writes are then rolled back).
  virtual bool Commit() = 0;
  // True from a successful start until Commit.
  virtual bool active() const = 0;
};

}  // namespace quillet
