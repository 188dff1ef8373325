#pragma once
// The plug-in's job classes that the program names itself (the others come
// from "task_inventory.ini"), as the factory's table writes them: the
// do-nothing job that a group's own tick runs, and the job of one community
// rules entry (its configuration text: rules/rulesentryconfig.h).
constexpr char kNullJobClass[] = "4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2";
constexpr char kRulesEntryJobClass[] = "AAF0FEAC-5472-4EF4-AA9D-AD7BDCC40E2A";
