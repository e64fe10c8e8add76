import QtCharts 2.15

// A value axis that also names the unit of its values.
ValueAxis {
    property string unit: ""
}
