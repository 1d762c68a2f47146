#include "worksheet/DataElements.h"

#include "db/Database.h"

namespace orv {

const std::array<DataElement, kElementCount> kDataElements = {{
    {"Vet", "Vet", "VetP/F", "Vet", "Vet", "Vet"},
    {"DislocDate", "DislocDate", "DislocDateP/F", "DislocDate", "DislocDate", "DislocDate"},
    {"AppDate", "AppDate", "AppDateP/F", "AppDate", "AppDate", "AppDate"},
    {"Petition", "Petition", "PetitionP/F", "Petition", "Petition", "Petition"},
    {"EnterTrainDate", "EnterTrainDate", "EnterTrainDateP/F", "EnterTrainDate", "EnterTrainDate",
     "EnterTrainDate"},
    {"TrainEndDate", "TrainEndDate", "TrainEndDateP/F", "TrainEndDate", "TrainEndDate",
     "TrainEndDate"},
    {"TrainComp", "TrainComp", "TrainCompP/F", "TrainComp", "TrainComp", "TrainComp"},
    {"BasicTRA", "TRA", "TRAP/F", "BasicTRA", "BasicTRA", "TRA"},
    {"Waiver", "Waiver", "WaiverP/F", "Waiver", "Waiver", "Waiver"},
    {"ExitDate", "WIAExitDate", "WIAExitDateP/F", "ExitDate", "WIAExitDate", "ExitDate"},
    {"EmpQtr+1", "EmpQtr+1", "EmpQtr+1P/F", "EmpQtr+1", "EmpQtr+1", "EmpQtr+1"},
    {"EmpQtr+3", "Empqtr+3", "EmpQtr+3P/F", "Empqtr+3", "Empqtr+3", "EmpQTR+3"},
    {"Earn3QTRPriorToParticipation", "Earn3QTRPriorToParticipation",
     "Earn3QTRPriorToParticipationP/F", "Earn3QTRPriorToParticipation",
     "Earn3QTRPriorToParticipation", "Earn3QTRPriorToParticipation"},
    {"Earn2QTRPriorToParticipation", "Earn2QTRPriorToParticipation",
     "Earn2QTRPriorToParticipationP/F", "Earn2QTRPriorToParticipation",
     "Earn2QTRPriorToParticipation", "Earn2QTRPriorToParticipation"},
    {"Earn1QTRAfterExit", "Earn1QTRAfterExit", "Earn1QTRAfterExitP/F", "Earn1QTRAfterExit",
     "Earn1QTRAfterExit", "Earn1QTRAfterExit"},
    {"Earn2QTRAfterExit", "Earn2QTRAfterExit", "Earn2QTRAfterExitP/F", "Earn2QTRAfterExit",
     "Earn2QTRAfterExit", "Earn2QTRAfterExit"},
    {"Earn3QTRAfterExit", "Earn3QTRAfterExit", "Earn3QTRAfterExitP/F", "Earn3QTRAfterExit",
     "Earn3QTRAfterExit", "Earn3QTRAfterExit"},
}};

QString quotedColumn(const char* name) {
    return quoteIdentifier(QString::fromLatin1(name));
}

QString displayText(const QVariant& value) {
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        // Whole amounts read as the file gave them, 1000 rather than 1000.0.
        if (d == static_cast<double>(static_cast<long long>(d)) && d > -1e15 && d < 1e15)
            return QString::number(static_cast<long long>(d));
        return QString::number(d, 'g', 15);
    }
    return value.toString();
}

} // namespace orv
