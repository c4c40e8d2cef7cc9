#pragma once

// Access constants of the demonstration security database, in the form the security desktop's
// generator writes them.
constexpr int dsc_View_Orders = 1;
constexpr int dsc_Edit_Orders = 2;
constexpr int dsc_Delete_Orders = 3;
constexpr int dsc_View_Customers = 4;
constexpr int dsc_Edit_Customers = 5;
constexpr int dsc_Print_Reports = 6;
constexpr int dsc_Export_Data = 7;
constexpr int dsc_Close_Period = 8;
