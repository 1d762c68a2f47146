#pragma once

namespace orv {

class Database;

// Makes the record rules that the import applies as records load callable from SQL, so that a
// statement over the master applies the very same rules:
//   orv_outcome_group(EmploymentStatus, OtherReasonForExit, EmpQTR+1, TypeEmpQTR+1AfterExit,
//                     Earn1QTRAfterExit, EmpQTR+2AfterExit, TypeEmpQTR+2AfterExit,
//                     Earn2QTRAfterExit, EmpQTR+3, TypeEmpQTR+3AfterExit, Earn3QTRAfterExit)
//     the outcome group, 0 for none (outcomeGroupOf);
//   orv_rule_weight(EmpQTR+1, Earn1QTRAfterExit, EmpQTR+3, Earn3QTRAfterExit)
//     the weight the weight rules give, Null when none applies (ruleWeight).
// Throws DbError.
void registerRuleFunctions(Database& db);

} // namespace orv
