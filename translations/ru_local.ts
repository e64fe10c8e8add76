<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>Algorithms::FixturePort</name>
    <message>
        <source>Offset was not performed. Check measured data for validity</source>
        <translation>Смещение не выполнено. Проверьте достоверность измеренных данных</translation>
    </message>
    <message>
        <source>Offset was not performed. Check offset value</source>
        <translation>Смещение не выполнено. Проверьте значение смещения</translation>
    </message>
    <message>
        <source>Invalid impulse response offset</source>
        <translation>Недопустимое смещение импульсной характеристики</translation>
    </message>
    <message>
        <source>Invalid uncorrected fixture SParameters offset</source>
        <translation>Недопустимые нескорректированные S-параметры оснастки (смещение)</translation>
    </message>
    <message>
        <source>Invalid Z0 impedance. It is recommended using the latest VNA software version</source>
        <translation>Недопустимый импеданс Z0. Рекомендуется использовать последнюю версию ПО ВАЦ</translation>
    </message>
    <message>
        <source>Invalid custom impedance value.</source>
        <translation>Недопустимое значение пользовательского импеданса.</translation>
    </message>
    <message>
        <source>Invalid impulse response. NaN or Inf value found. Check measured data for validity</source>
        <translation>Недопустимая импульсная характеристика. Найдены значения NaN или Inf. Проверьте достоверность измеренных данных</translation>
    </message>
    <message>
        <source>Invalid impulse response</source>
        <translation>Недопустимая импульсная характеристика</translation>
    </message>
    <message>
        <source>Invalid gating</source>
        <translation>Недопустимое стробирование</translation>
    </message>
    <message>
        <source>Invalid step response. NaN or Inf value found. Check the measured data for validity</source>
        <translation>Недопустимая переходная характеристика. Найдены значения NaN или Inf. Проверьте достоверность измеренных данных</translation>
    </message>
    <message>
        <source>Invalid calculated data. NaN or Inf value found. Check measured data for validity</source>
        <translation>Недопустимые рассчитанные данные. Найдены значения NaN или Inf. Проверьте достоверность измеренных данных</translation>
    </message>
    <message>
        <source>Invalid uncorrected fixture SParameters default</source>
        <translation>Недопустимые нескорректированные S-параметры оснастки (по умолчанию)</translation>
    </message>
    <message>
        <source>Invalid uncorrected fixture SParameters z conversion</source>
        <translation>Недопустимые нескорректированные S-параметры оснастки (преобразование Z)</translation>
    </message>
    <message>
        <source>Invalid input data for impedance conversion</source>
        <translation>Недопустимые входные данные для преобразования импеданса</translation>
    </message>
    <message>
        <source>Invalid converted data. Check system and fixture impedances</source>
        <translation>Недопустимые преобразованные данные. Проверьте импедансы системы и оснастки</translation>
    </message>
    <message>
        <source>this port</source>
        <translation>этого порта</translation>
    </message>
    <message>
        <source>The offset model of %1 is not passive from %2 to %3 GHz</source>
        <translation>Модель %1 со смещением не пассивна в диапазоне от %2 до %3 GHz</translation>
    </message>
    <message>
        <source>Its largest singular value reaches %1 (a gain of %2 dB) at %3 GHz: with the plane moved so far the model shows gain. DUT data de-embedded with it are wrong in that band; check the offset and the measurement.</source>
        <translation>Её наибольшее сингулярное число достигает %1 (усиление %2 dB) на частоте %3 GHz: при таком смещении плоскости модель даёт усиление. Данные DUT, полученные исключением этой модели, в этом диапазоне неверны; проверьте смещение и измерение.</translation>
    </message>
</context>
<context>
    <name>Algorithms::IProcessMethod</name>
    <message>
        <source>A negative fixture delay. Check measured data for validity</source>
        <translation>Отрицательная задержка оснастки. Проверьте достоверность измеренных данных</translation>
    </message>
    <message>
        <source>The measurement was canceled</source>
        <translation>Измерение отменено</translation>
    </message>
    <message>
        <source>The DUT was measured from %1 to %2 MHz, which does not span the fixture model&apos;s band from %3 to %4 MHz. Measure the DUT over the fixture&apos;s frequency range</source>
        <translation>DUT измерено в диапазоне от %1 до %2 MHz, который не охватывает полосу модели оснастки от %3 до %4 MHz. Измерьте DUT в диапазоне частот оснастки</translation>
    </message>
    <message>
        <source>There is no signal: the largest magnitude of the measured data is %1 dB. Check that the fixtures are connected.</source>
        <translation>Сигнал отсутствует: наибольший модуль измеренных данных равен %1 dB. Проверьте подключение оснастки.</translation>
    </message>
    <message>
        <source>The impulse response peaks at %1 ps. At a frequency step of %2 MHz the response repeats every %3 ns, so a longer fixture wraps around to negative times: use more points or a smaller span. Otherwise check the electrical delay and port extensions set on the analyser.</source>
        <translation>Максимум импульсной характеристики находится на %1 ps. При шаге по частоте %2 MHz характеристика повторяется каждые %3 ns, поэтому отклик более длинной оснастки переносится в область отрицательных времён: увеличьте число точек или уменьшите полосу обзора. В противном случае проверьте электрическую задержку и удлинение портов, установленные на анализаторе.</translation>
    </message>
    <message>
        <source>The frequency grid has fewer than 3 points</source>
        <translation>Сетка частот содержит менее 3 точек</translation>
    </message>
    <message>
        <source>The frequency grid holds a frequency that is not finite or not positive</source>
        <translation>Сетка частот содержит нечисловую, бесконечную или неположительную частоту</translation>
    </message>
    <message>
        <source>The frequency grid is not uniformly spaced. Use a linear sweep</source>
        <translation>Сетка частот неравномерна. Используйте линейную развёртку</translation>
    </message>
    <message>
        <source>The frequency grid cannot be classified</source>
        <translation>Не удаётся определить тип сетки частот</translation>
    </message>
    <message>
        <source>Too few frequency points for the low-pass transform: at least 10 are needed</source>
        <translation>Слишком мало частотных точек для преобразования в режиме ФНЧ: требуется не менее 10</translation>
    </message>
    <message>
        <source>The DUT board has another launch at %1 %2</source>
        <translation>Плата DUT имеет другой переход со стороны %1 %2</translation>
    </message>
    <message>
        <source>The DUT board&apos;s launch differs from the 2x-thru&apos;s: its reflection differs by up to %1 (worst at %2 GHz). The correction took the DUT board&apos;s reflection, but the model&apos;s transmission is still the 2x-thru&apos;s: DUT data de-embedded with it are wrong there. Measure a 2x-thru made like the DUT board.</source>
        <translation>Переход платы DUT отличается от перехода 2x-Thru: его отражение отличается на величину до %1 (наибольшее отличие на частоте %2 GHz). Коррекция взяла отражение платы DUT, но передача модели осталась передачей 2x-Thru: данные DUT, полученные исключением этой модели, там неверны. Измерьте 2x-Thru, изготовленный так же, как плата DUT.</translation>
    </message>
    <message>
        <source>The DUT board&apos;s launch differs from that of the fixture the standards were measured in: its reflection differs by up to %1 (worst at %2 GHz). The correction took the DUT board&apos;s reflection, but the model&apos;s transmission is still that fixture&apos;s: DUT data de-embedded with it are wrong there. Measure the standards in a fixture made like the DUT board.</source>
        <translation>Переход платы DUT отличается от перехода оснастки, в которой измерялись меры: его отражение отличается на величину до %1 (наибольшее отличие на частоте %2 GHz). Коррекция взяла отражение платы DUT, но передача модели осталась передачей той оснастки: данные DUT, полученные исключением этой модели, там неверны. Измерьте меры в оснастке, изготовленной так же, как плата DUT.</translation>
    </message>
    <message>
        <source>S11 of the DUT at %1</source>
        <translation>S11 DUT со стороны %1</translation>
    </message>
    <message>
        <source>at %1 GHz</source>
        <translation>на частоте %1 GHz</translation>
    </message>
    <message>
        <source>from %1 to %2 GHz</source>
        <translation>от %1 до %2 GHz</translation>
    </message>
    <message>
        <source>The measured %1 has %2 points, the frequency grid %3</source>
        <translation>Измеренный параметр %1 содержит %2 точек, сетка частот — %3</translation>
    </message>
    <message>
        <source>%1 GHz</source>
        <translation>частоте %1 GHz</translation>
    </message>
    <message>
        <source>an invalid frequency</source>
        <translation>недопустимой частоте</translation>
    </message>
    <message>
        <source>The measured %1 is not a number (NaN) at %2, point %3 of %4</source>
        <translation>Измеренный параметр %1 не является числом (NaN) на %2, точка %3 из %4</translation>
    </message>
    <message>
        <source>The measured %1 is infinite at %2, point %3 of %4</source>
        <translation>Измеренный параметр %1 бесконечен на %2, точка %3 из %4</translation>
    </message>
    <message>
        <source>The fixture model of %1 is not passive %2</source>
        <translation>Модель %1 не пассивна %2</translation>
    </message>
    <message>
        <source>Its largest singular value reaches %1 (a gain of %2 dB) at %3 GHz, above 1 + %4. DUT data de-embedded with it are wrong there; check the measurement or choose another correction method.</source>
        <translation>Её наибольшее сингулярное число достигает %1 (усиление %2 dB) на частоте %3 GHz и превышает 1 + %4. Данные DUT, полученные исключением этой модели, там неверны; проверьте измерение или выберите другой метод коррекции.</translation>
    </message>
</context>
<context>
    <name>Algorithms::ProcessBisect</name>
    <message>
        <source>The bisection method error. Impedance of the selected VNA ports has to be the same!</source>
        <translation>Ошибка метода бисекции. Импедансы выбранных портов ВАЦ должны совпадать!</translation>
    </message>
    <message>
        <source>The bisection method error!</source>
        <translation>Ошибка метода бисекции!</translation>
    </message>
    <message>
        <source>Bisection model of %1 differs from time gating %2</source>
        <translation>Модель %1 по методу бисекции отличается от модели с временным стробированием %2</translation>
    </message>
</context>
<context>
    <name>Algorithms::ProcessFiltering</name>
    <message>
        <source>The filtering method error. Fixture delay is too long. Select a different correction method</source>
        <translation>Ошибка метода фильтрации. Задержка оснастки слишком велика. Выберите другой метод коррекции</translation>
    </message>
    <message>
        <source>The filtering method error. Fixture delay is too short. Select a different correction method</source>
        <translation>Ошибка метода фильтрации. Задержка оснастки слишком мала. Выберите другой метод коррекции</translation>
    </message>
    <message>
        <source>The filtering method error!</source>
        <translation>Ошибка метода фильтрации!</translation>
    </message>
    <message>
        <source>Filtering model of %1 differs from time gating %2</source>
        <translation>Модель %1 по методу фильтрации отличается от модели с временным стробированием %2</translation>
    </message>
</context>
<context>
    <name>Algorithms::ProcessTimeGate</name>
    <message>
        <source>ProcessTimeGate::calculateDUT: error input parameters</source>
        <translation>ProcessTimeGate::calculateDUT: ошибка входных параметров</translation>
    </message>
    <message>
        <source>ProcessTimeGate::calculateDUT: error uncorrected fixture s parameters</source>
        <translation>ProcessTimeGate::calculateDUT: ошибка нескорректированных S-параметров оснастки</translation>
    </message>
    <message>
        <source>ProcessTimeGate::calculateDUT: invalid result vectors</source>
        <translation>ProcessTimeGate::calculateDUT: недопустимые результирующие векторы</translation>
    </message>
    <message>
        <source>ProcessTimeGate::calculateDUT: Error gating S11</source>
        <translation>ProcessTimeGate::calculateDUT: ошибка стробирования S11</translation>
    </message>
    <message>
        <source>ProcessTimeGate::calculateDUT: Error gating S22</source>
        <translation>ProcessTimeGate::calculateDUT: ошибка стробирования S22</translation>
    </message>
    <message>
        <source>Process TimeGate: Error gating S11</source>
        <translation>Стробирование: ошибка стробирования S11</translation>
    </message>
    <message>
        <source>Process TimeGate: Error gating S22</source>
        <translation>Стробирование: ошибка стробирования S22</translation>
    </message>
    <message>
        <source>S11 of the DUT at %1</source>
        <translation>S11 DUT со стороны %1</translation>
    </message>
</context>
<context>
    <name>Algorithms::ProcessTimeGateReflect</name>
    <message>
        <source>Invalid input data of  DUT with fixture</source>
        <translation>Недопустимые входные данные  DUT в оснастке</translation>
    </message>
    <message>
        <source>Invalid calculated data of DUT with fixture. NaN or Inf value found</source>
        <translation>Недопустимые рассчитанные данные DUT в оснастке. Найдены значения NaN или Inf</translation>
    </message>
</context>
<context>
    <name>Algorithms::ProcessTimeGateReflectOpenAndShort</name>
    <message>
        <source>Invalid input data of  DUT with fixture</source>
        <translation>Недопустимые входные данные  DUT в оснастке</translation>
    </message>
    <message>
        <source>Invalid calculated data of DUT with fixture. NaN or Inf value found</source>
        <translation>Недопустимые рассчитанные данные DUT в оснастке. Найдены значения NaN или Inf</translation>
    </message>
</context>
<context>
    <name>Algorithms::ReflectProcess</name>
    <message>
        <source>Reflection. Invalid input data</source>
        <translation>Отражение. Недопустимые входные данные</translation>
    </message>
    <message>
        <source>The correction method does not support this measurement</source>
        <translation>Метод коррекции не поддерживает это измерение</translation>
    </message>
    <message>
        <source>the fixture port</source>
        <translation>порта оснастки</translation>
    </message>
</context>
<context>
    <name>Algorithms::ReflectProcessOpenAndShort</name>
    <message>
        <source>Invalid open and short input data</source>
        <translation>Недопустимые входные данные ХХ и КЗ</translation>
    </message>
    <message>
        <source>Reflection. Invalid input data</source>
        <translation>Отражение. Недопустимые входные данные</translation>
    </message>
    <message>
        <source>S11 of the open</source>
        <translation>S11 меры ХХ</translation>
    </message>
    <message>
        <source>S11 of the short</source>
        <translation>S11 меры КЗ</translation>
    </message>
    <message>
        <source>The open and the short give the same reflection: half their difference stays below %1 dB. Measure each standard with its own termination.</source>
        <translation>ХХ и КЗ дают одинаковое отражение: половина их разности остаётся ниже %1 dB. Измерьте каждую меру со своей нагрузкой.</translation>
    </message>
</context>
<context>
    <name>Algorithms::ReflectProcessOpenOrShort</name>
    <message>
        <source>Reflection. Invalid input data</source>
        <translation>Отражение. Недопустимые входные данные</translation>
    </message>
    <message>
        <source>Invalid step response. Calculation error. Check the measured data for validity</source>
        <translation>Недопустимая переходная характеристика. Ошибка расчёта. Проверьте достоверность измеренных данных</translation>
    </message>
    <message>
        <source>Invalid fixture impedance. NaN, Inf or 0 value found</source>
        <translation>Недопустимый импеданс оснастки. Найдены значения NaN, Inf или 0</translation>
    </message>
    <message>
        <source>switch on &quot;Use compensation of the max signal by the spline approximation&quot;</source>
        <translation>включите &quot;Компенсация максимального сигнала сплайн-аппроксимацией&quot;</translation>
    </message>
    <message>
        <source>measure the open and the short together</source>
        <translation>измерьте ХХ и КЗ вместе</translation>
    </message>
    <message>
        <source>sweep a harmonic grid (every frequency a multiple of the first)</source>
        <translation>задайте развёртку по гармонической сетке частот (каждая частота кратна первой)</translation>
    </message>
    <message>
        <source>Compensated model of %1 had gain %2: gated instead</source>
        <translation>Компенсированная модель %1 имела усиление %2: взята стробированная</translation>
    </message>
    <message>
        <source>The spline approximation of the max signal gave a largest singular value of %1 at %2 GHz: the fixture probably has internal mismatches. The model was computed with the time gate of the standard&apos;s reflection instead.</source>
        <translation>Сплайн-аппроксимация максимального сигнала дала наибольшее сингулярное число %1 на частоте %2 GHz: вероятно, в оснастке есть внутренние рассогласования. Вместо этого модель рассчитана временным стробированием отражения меры.</translation>
    </message>
    <message>
        <source>Its transmission, from the time gate of the standard&apos;s reflection, differs from the spline model&apos;s by up to %1 dB and %2° (worst at %3 GHz). One of the two is wrong by at least half as much, and DUT data de-embedded with this model may be wrong there. Remedies: %4.</source>
        <translation>Её коэффициент передачи, полученный временным стробированием отражения меры, отличается от полученного сплайн-моделью на величину до %1 dB и %2° (наибольшее отличие на частоте %3 GHz). Хотя бы один из них ошибочен не менее чем на половину этой величины, и данные DUT, полученные исключением этой модели, там могут быть неверны. Что сделать: %4.</translation>
    </message>
    <message>
        <source>Its transmission, from the spline model of the standard&apos;s reflection, differs from the time gate&apos;s by up to %1 dB and %2° (worst at %3 GHz). One of the two is wrong by at least half as much, and DUT data de-embedded with this model may be wrong there. Remedies: %4.</source>
        <translation>Её коэффициент передачи, полученный сплайн-моделью отражения меры, отличается от полученного временным стробированием на величину до %1 dB и %2° (наибольшее отличие на частоте %3 GHz). Хотя бы один из них ошибочен не менее чем на половину этой величины, и данные DUT, полученные исключением этой модели, там могут быть неверны. Что сделать: %4.</translation>
    </message>
    <message>
        <source>The one-standard fixture model of %1 is uncertain %2</source>
        <translation>Модель %1, рассчитанная по одной мере, недостоверна %2</translation>
    </message>
</context>
<context>
    <name>Algorithms::TransmissionProcess</name>
    <message>
        <source>Transmission. Invalid input data</source>
        <translation>Передача. Недопустимые входные данные</translation>
    </message>
    <message>
        <source>This process does not have a DUT calculation method</source>
        <translation>Этот процесс не имеет метода расчёта DUT</translation>
    </message>
    <message>
        <source>Step Response. Invalid input data</source>
        <translation>Переходная характеристика. Недопустимые входные данные</translation>
    </message>
    <message>
        <source>Invalid step response. Calculation error. Check the measured data for validity</source>
        <translation>Недопустимая переходная характеристика. Ошибка расчёта. Проверьте достоверность измеренных данных</translation>
    </message>
    <message>
        <source>Error in calculating the step response characteristic</source>
        <translation>Ошибка расчёта переходной характеристики</translation>
    </message>
    <message>
        <source>the left fixture port</source>
        <translation>левого порта оснастки</translation>
    </message>
    <message>
        <source>the right fixture port</source>
        <translation>правого порта оснастки</translation>
    </message>
    <message>
        <source>Its reflections differ from those of the time-gated model of the same 2x-thru by up to %1 (worst at %2 GHz), its transmission by up to %3 dB and %4°. One of the two models is wrong there, and DUT data de-embedded with this one may be off by as much. Time gating is the more reliable method where the fixture&apos;s reflections are apart from its DUT end; check also that both halves of the 2x-thru are alike.</source>
        <translation>Её отражения отличаются от отражений модели того же 2x-Thru, полученной временным стробированием, на величину до %1 (наибольшее отличие на частоте %2 GHz), её передача — до %3 dB и %4°. Одна из двух моделей там ошибочна, и данные DUT, полученные исключением этой модели, могут отличаться на столько же. Временное стробирование надёжнее там, где отражения оснастки отстоят от её конца со стороны DUT; проверьте также, что обе половины 2x-Thru одинаковы.</translation>
    </message>
</context>
<context>
    <name>BaseMeasurer</name>
    <message>
        <source>The measurement was canceled</source>
        <translation>Измерение отменено</translation>
    </message>
    <message>
        <source>Error </source>
        <translation>Ошибка </translation>
    </message>
    <message>
        <source>unknown failure in the calculation</source>
        <translation>неизвестный сбой при расчёте</translation>
    </message>
</context>
<context>
    <name>BaseTableModel</name>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Current value</source>
        <translation>Текущее значение</translation>
    </message>
    <message>
        <source>Recommended</source>
        <translation>Рекомендуемое</translation>
    </message>
</context>
<context>
    <name>CalibrateVnaPage</name>
    <message>
        <source>VNA calibration</source>
        <translation>Калибровка ВАЦ</translation>
    </message>
    <message>
        <source>Calibrate VNA</source>
        <translation>Калибровка ВАЦ</translation>
    </message>
    <message>
        <source>&lt;h2&gt;Step 4. VNA calibration&lt;/h2&gt;&lt;p&gt;The fixture measurements require an N-port calibration of the active VNA channel, made in the VNA software.&lt;/p&gt;&lt;p&gt;The &lt;b&gt;Calibrated ports&lt;/b&gt; line lists the VNA ports to calibrate; they follow from the choices of the fixture connection page.&lt;/p&gt;&lt;p&gt;Interpolated or extrapolated calibration data are not allowed: calibrate at the frequencies set on the VNA setup page.&lt;/p&gt;&lt;p&gt;Procedure:&lt;/p&gt;&lt;ol&gt;&lt;li&gt;Connect the cables to the listed VNA ports, without the fixture.&lt;/li&gt;&lt;li&gt;Perform the calibration in the VNA software.&lt;/li&gt;&lt;li&gt;Return to this page and check that there are no errors and that the port impedances are right.&lt;/li&gt;&lt;li&gt;Do not move the cables after the calibration.&lt;/li&gt;&lt;/ol&gt;&lt;p&gt;Errors fall into two categories, &lt;b&gt;Warning&lt;/b&gt; and &lt;b&gt;Critical error&lt;/b&gt;; both are shown in the notification panel.&lt;/p&gt;</source>
        <translation>&lt;h2&gt;Шаг 4. Калибровка ВАЦ&lt;/h2&gt;&lt;p&gt;Для измерения оснастки требуется N-портовая калибровка активного канала ВАЦ, выполненная в ПО ВАЦ.&lt;/p&gt;&lt;p&gt;В строке &lt;b&gt;Калиброванные порты&lt;/b&gt; перечислены порты ВАЦ, которые нужно откалибровать; они определяются настройками страницы подключения оснастки.&lt;/p&gt;&lt;p&gt;Интерполированные и экстраполированные калибровочные данные не допускаются: калибруйте на частотах, заданных на странице настройки ВАЦ.&lt;/p&gt;&lt;p&gt;Порядок действий:&lt;/p&gt;&lt;ol&gt;&lt;li&gt;Подключите кабели к указанным портам ВАЦ, без оснастки.&lt;/li&gt;&lt;li&gt;Выполните калибровку в ПО ВАЦ.&lt;/li&gt;&lt;li&gt;Вернитесь на эту страницу и убедитесь, что ошибок нет и импедансы портов верны.&lt;/li&gt;&lt;li&gt;Не перемещайте кабели после калибровки.&lt;/li&gt;&lt;/ol&gt;&lt;p&gt;Ошибки делятся на две категории, &lt;b&gt;Предупреждение&lt;/b&gt; и &lt;b&gt;Критическая ошибка&lt;/b&gt;; обе отображаются на панели уведомлений.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Perform an N-port VNA calibration at the plane where the fixture needs to be connected.&lt;br&gt;&lt;br&gt; No fixture connection is required.&lt;br&gt;&lt;br&gt; Calibration is applied on the active VNA channel only.</source>
        <translation>Выполните N-портовую калибровку ВАЦ в плоскости, к которой будет подключаться оснастка.&lt;br&gt;&lt;br&gt; Подключать оснастку не требуется.&lt;br&gt;&lt;br&gt; Калибровка действует только на активный канал ВАЦ.</translation>
    </message>
</context>
<context>
    <name>CalibrateVnaTableModel</name>
    <message>
        <source>Yes</source>
        <translation>Да</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Нет</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>Калибровка</translation>
    </message>
    <message>
        <source>Not calibrated</source>
        <translation>Не откалиброван</translation>
    </message>
    <message>
        <source>Not defined</source>
        <translation>Не определена</translation>
    </message>
    <message>
        <source>Response (Open)</source>
        <translation>Нормировка (ХХ)</translation>
    </message>
    <message>
        <source>Response (Short)</source>
        <translation>Нормировка (КЗ)</translation>
    </message>
    <message>
        <source>Response (Thru)</source>
        <translation>Нормировка (Thru)</translation>
    </message>
    <message>
        <source>Full 1-Port</source>
        <translation>Полная 1-портовая</translation>
    </message>
    <message>
        <source>Full 2-Port</source>
        <translation>Полная 2-портовая</translation>
    </message>
    <message>
        <source>Full 3-Port</source>
        <translation>Полная 3-портовая</translation>
    </message>
    <message>
        <source>Full 4-Port</source>
        <translation>Полная 4-портовая</translation>
    </message>
    <message>
        <source>One Path 2–Port</source>
        <translation>Однонаправленная 2-портовая</translation>
    </message>
    <message>
        <source>Interpolated</source>
        <translation>Интерполирована</translation>
    </message>
    <message>
        <source>Extrapolated</source>
        <translation>Экстраполирована</translation>
    </message>
    <message>
        <source>Calibrated ports</source>
        <translation>Калиброванные порты</translation>
    </message>
    <message>
        <source>Impedance</source>
        <translation>Импеданс</translation>
    </message>
</context>
<context>
    <name>ConnectionPage</name>
    <message>
        <source>Transmission measurement&lt;br&gt;2xThrough method</source>
        <translation>Измерение передачи&lt;br&gt;метод 2xThrough</translation>
    </message>
    <message>
        <source>Reflection measurement&lt;br&gt;1xReflect method</source>
        <translation>Измерение отражения&lt;br&gt;метод 1xReflect</translation>
    </message>
    <message>
        <source>Fixture connection</source>
        <translation>Подключение оснастки</translation>
    </message>
    <message>
        <source>Point out the required fixture connections and assign the VNA ports. This is a preparation step for performing the fixture measurements</source>
        <translation>Укажите требуемые подключения оснастки и назначьте порты ВАЦ. Это подготовительный шаг перед измерением оснастки</translation>
    </message>
    <message>
        <source>&lt;h2&gt;Step 2. Fixture connection&lt;/h2&gt;&lt;p&gt;Point out the fixture connections for the measurement steps and assign a VNA port to every fixture port.&lt;/p&gt;&lt;h3&gt;Measurement steps&lt;/h3&gt;&lt;table border=1 cellpadding=4 style=&apos;border-color:%1&apos;&gt;&lt;tr&gt;&lt;th&gt;Fixtures&lt;/th&gt;&lt;th&gt;Steps&lt;/th&gt;&lt;th&gt;Methods&lt;/th&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;A or B alone&lt;/td&gt;&lt;td&gt;1&lt;/td&gt;&lt;td&gt;1xReflect&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;A and B connected together&lt;/td&gt;&lt;td&gt;1&lt;/td&gt;&lt;td&gt;2xThrough&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;A and B, each alone&lt;/td&gt;&lt;td&gt;2&lt;/td&gt;&lt;td&gt;1xReflect or 2xThrough for each&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Any of the above plus the DUT&lt;/td&gt;&lt;td&gt;2 or 3&lt;/td&gt;&lt;td&gt;the above and the DUT step&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;h3&gt;Methods&lt;/h3&gt;&lt;p&gt;&lt;b&gt;1xReflect&lt;/b&gt;: the fixture is terminated by an open and/or a short standard.&lt;/p&gt;&lt;p&gt;&lt;b&gt;2xThrough&lt;/b&gt;: two fixtures are connected to each other. The number of input and output ports of two connected fixtures should be the same.&lt;/p&gt;&lt;h3&gt;Options&lt;/h3&gt;&lt;p&gt;&lt;b&gt;A - B Connection&lt;/b&gt;: fixtures A and B are connected directly (2xThrough).&lt;/p&gt;&lt;p&gt;&lt;b&gt;A - A Connection&lt;/b&gt; and &lt;b&gt;B - B Connection&lt;/b&gt;: two identical fixtures A (or B) are connected as a THRU. ON means 2xThrough, OFF means 1xReflect.&lt;/p&gt;&lt;p&gt;&lt;b&gt;CAL ≠ DUT&lt;/b&gt;: the calibration fixture and the DUT fixture are different; an extra DUT step is added. This mode is available only with the time gating method.&lt;/p&gt;&lt;h3&gt;Port assignment&lt;/h3&gt;&lt;p&gt;Choose the VNA port of every fixture port. A port used twice is marked: reassign the ports before measuring.&lt;/p&gt;</source>
        <translation>&lt;h2&gt;Шаг 2. Подключение оснастки&lt;/h2&gt;&lt;p&gt;Укажите подключения оснастки для шагов измерения и назначьте порт ВАЦ каждому порту оснастки.&lt;/p&gt;&lt;h3&gt;Шаги измерения&lt;/h3&gt;&lt;table border=1 cellpadding=4 style=&apos;border-color:%1&apos;&gt;&lt;tr&gt;&lt;th&gt;Оснастка&lt;/th&gt;&lt;th&gt;Шаги&lt;/th&gt;&lt;th&gt;Методы&lt;/th&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Только A или только B&lt;/td&gt;&lt;td&gt;1&lt;/td&gt;&lt;td&gt;1xReflect&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;A и B, соединённые друг с другом&lt;/td&gt;&lt;td&gt;1&lt;/td&gt;&lt;td&gt;2xThrough&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;A и B, каждая отдельно&lt;/td&gt;&lt;td&gt;2&lt;/td&gt;&lt;td&gt;1xReflect или 2xThrough для каждой&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;Любой из вариантов выше плюс DUT&lt;/td&gt;&lt;td&gt;2 или 3&lt;/td&gt;&lt;td&gt;указанные выше и шаг DUT&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;h3&gt;Методы&lt;/h3&gt;&lt;p&gt;&lt;b&gt;1xReflect&lt;/b&gt;: оснастка нагружена на меру холостого хода и/или короткого замыкания.&lt;/p&gt;&lt;p&gt;&lt;b&gt;2xThrough&lt;/b&gt;: две оснастки соединены друг с другом. Число входных и выходных портов двух соединяемых оснасток должно совпадать.&lt;/p&gt;&lt;h3&gt;Параметры&lt;/h3&gt;&lt;p&gt;&lt;b&gt;Соединение A - B&lt;/b&gt;: оснастки A и B соединены напрямую (2xThrough).&lt;/p&gt;&lt;p&gt;&lt;b&gt;Соединение A - A&lt;/b&gt; и &lt;b&gt;Соединение B - B&lt;/b&gt;: две одинаковые оснастки A (или B) соединены как THRU. Включено — 2xThrough, выключено — 1xReflect.&lt;/p&gt;&lt;p&gt;&lt;b&gt;CAL ≠ DUT&lt;/b&gt;: калибровочная оснастка и оснастка DUT различаются; добавляется дополнительный шаг DUT. Этот режим доступен только с методом временного стробирования.&lt;/p&gt;&lt;h3&gt;Назначение портов&lt;/h3&gt;&lt;p&gt;Выберите порт ВАЦ для каждого порта оснастки. Порт, использованный дважды, отмечается: переназначьте порты перед измерением.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Configuration </source>
        <translation>Конфигурация </translation>
    </message>
    <message>
        <source>Connection 1. </source>
        <translation>Подключение 1. </translation>
    </message>
    <message>
        <source>Connection </source>
        <translation>Подключение </translation>
    </message>
    <message>
        <source>. DUT in-fixture measurement setup</source>
        <translation>. Схема измерения DUT в оснастке</translation>
    </message>
    <message>
        <source>Ports: </source>
        <translation>Порты: </translation>
    </message>
    <message>
        <source>Warning: You must select one/more fixtures</source>
        <translation>Внимание: выберите одну или несколько оснасток</translation>
    </message>
    <message>
        <source>Connect directly:</source>
        <translation>Соединить напрямую:</translation>
    </message>
    <message>
        <source>A - B Connection</source>
        <translation>Соединение A - B</translation>
    </message>
    <message>
        <source>Use 2 Fixtures A as THRU:</source>
        <translation>Две оснастки A как THRU:</translation>
    </message>
    <message>
        <source>A - A Connection</source>
        <translation>Соединение A - A</translation>
    </message>
    <message>
        <source>The bisection method does not support the 1xReflect setup. It requires a direct connection of two fixtures.</source>
        <translation>Метод бисекции не поддерживает схему 1xReflect. Он требует прямого соединения двух оснасток.</translation>
    </message>
    <message>
        <source>Use 2 Fixtures B as THRU:</source>
        <translation>Две оснастки B как THRU:</translation>
    </message>
    <message>
        <source>B - B Connection</source>
        <translation>Соединение B - B</translation>
    </message>
    <message>
        <source>CAL fixture and DUT fixture are different:</source>
        <translation>Калибровочная оснастка и оснастка DUT различаются:</translation>
    </message>
    <message>
        <source>CAL ≠ DUT</source>
        <translation>CAL ≠ DUT</translation>
    </message>
</context>
<context>
    <name>DeviceStateBackup</name>
    <message>
        <source>The analyser state is already saved</source>
        <translation>Состояние анализатора уже сохранено</translation>
    </message>
    <message>
        <source>Cannot create the folder for the analyser state: %1</source>
        <translation>Не удаётся создать папку для состояния анализатора: %1</translation>
    </message>
    <message>
        <source>Another measurement has saved the analyser state; finish it first</source>
        <translation>Состояние анализатора сохранено другим измерением; сначала завершите его</translation>
    </message>
    <message>
        <source>Cannot remove the old analyser state file: %1</source>
        <translation>Не удаётся удалить старый файл состояния анализатора: %1</translation>
    </message>
    <message>
        <source>Cannot read the analyser sweep settings; the analyser state was not saved</source>
        <translation>Не удаётся прочитать параметры развёртки анализатора; состояние анализатора не сохранено</translation>
    </message>
    <message>
        <source>The analyser is not ready after the preset; its state was reloaded</source>
        <translation>Анализатор не готов после предустановки; его состояние загружено заново</translation>
    </message>
    <message>
        <source>There is no saved analyser state to restore</source>
        <translation>Нет сохранённого состояния анализатора для восстановления</translation>
    </message>
    <message>
        <source>The analyser could not be reached to restore its state; the state is kept in %1 and is restored before the next measurement</source>
        <translation>Нет связи с анализатором для восстановления его состояния; состояние сохранено в %1 и будет восстановлено перед следующим измерением</translation>
    </message>
    <message>
        <source>The analyser could not be reached to put back its state-file save type</source>
        <translation>Нет связи с анализатором для возврата прежнего типа сохраняемого файла состояния</translation>
    </message>
    <message>
        <source>The analyser state saved before an earlier measurement could not be restored yet (the analyser cannot be reached); it is kept in %1</source>
        <translation>Состояние анализатора, сохранённое перед предыдущим измерением, пока не удалось восстановить (нет связи с анализатором); оно хранится в %1</translation>
    </message>
    <message>
        <source>The analyser state saved before an earlier measurement was restored. </source>
        <translation>Состояние анализатора, сохранённое перед предыдущим измерением, восстановлено. </translation>
    </message>
    <message>
        <source>Cannot read the type of saving state file from VNA; the analyser was not changed</source>
        <translation>Не удаётся прочитать из ВАЦ тип сохраняемого файла состояния; анализатор не изменён</translation>
    </message>
    <message>
        <source>Cannot read the analyser settings; the analyser was not changed</source>
        <translation>Не удаётся прочитать настройки анализатора; анализатор не изменён</translation>
    </message>
    <message>
        <source>The analyser state was not saved to %1 (the file is missing or empty: is the disk full or the folder not writable?)</source>
        <translation>Состояние анализатора не сохранено в %1 (файл отсутствует или пуст: возможно, диск заполнен или папка недоступна для записи)</translation>
    </message>
    <message>
        <source>These analyser settings differ from before the measurement: %1</source>
        <translation>Эти настройки анализатора отличаются от установленных до измерения: %1</translation>
    </message>
    <message>
        <source>The analyser state was not saved to %1: the link to the analyser was lost</source>
        <translation>Состояние анализатора не сохранено в %1: связь с анализатором потеряна</translation>
    </message>
    <message>
        <source>The analyser state was not saved to %1: the analyser is not ready</source>
        <translation>Состояние анализатора не сохранено в %1: анализатор не готов</translation>
    </message>
    <message>
        <source>The analyser state was not saved to %1: the analyser reports %2</source>
        <translation>Состояние анализатора не сохранено в %1: анализатор сообщает %2</translation>
    </message>
    <message>
        <source>The analyser state was not saved to %1: the analyser did not answer in time after the save</source>
        <translation>Состояние анализатора не сохранено в %1: анализатор не ответил вовремя после сохранения</translation>
    </message>
</context>
<context>
    <name>DutMeasurer</name>
    <message>
        <source>Read s-data</source>
        <translation>Чтение S-параметров</translation>
    </message>
    <message>
        <source>Read freqs</source>
        <translation>Чтение частот</translation>
    </message>
    <message>
        <source>Calculating</source>
        <translation>Расчёт</translation>
    </message>
    <message>
        <source>No fixture port is connected to an analyser port</source>
        <translation>Ни один порт оснастки не подключён к порту анализатора</translation>
    </message>
    <message>
        <source>The DUT correction needs the fixture models of this set-up: measure the fixtures first</source>
        <translation>Для коррекции по DUT нужны модели оснастки этой схемы: сначала измерьте оснастку</translation>
    </message>
    <message>
        <source>The DUT data and the fixture model have different reference impedances</source>
        <translation>Данные DUT и модель оснастки отнесены к разным опорным импедансам</translation>
    </message>
    <message>
        <source>the DUT at analyser port %1 is referred to %2 Ohm, the fixture model to %3 Ohm</source>
        <translation>DUT на порту анализатора %1 отнесён к %2 Ohm, модель оснастки — к %3 Ohm</translation>
    </message>
</context>
<context>
    <name>DutStep</name>
    <message>
        <source>Fixture with DUT</source>
        <translation>Оснастка с DUT</translation>
    </message>
    <message>
        <source>Measure</source>
        <translation>Измерить</translation>
    </message>
    <message>
        <source>Recall</source>
        <translation>Загрузить</translation>
    </message>
    <message>
        <source>DUT</source>
        <translation>DUT</translation>
    </message>
    <message>
        <source>The measurement was canceled</source>
        <translation>Измерение отменено</translation>
    </message>
</context>
<context>
    <name>FixtureCharacterization</name>
    <message>
        <source>Fixture characterization</source>
        <translation>Характеризация оснастки</translation>
    </message>
    <message>
        <source>Edit fixture characterization</source>
        <translation>Изменение характеризации оснастки</translation>
    </message>
    <message>
        <source>Configuration </source>
        <translation>Конфигурация </translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Длина</translation>
    </message>
    <message>
        <source>Gating</source>
        <translation>Стробирование</translation>
    </message>
    <message>
        <source>Impedance</source>
        <translation>Импеданс</translation>
    </message>
    <message>
        <source>S-parameters</source>
        <translation>S-параметры</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Лог.</translation>
    </message>
    <message>
        <source>Time (s)</source>
        <translation>Время (s)</translation>
    </message>
    <message>
        <source>Magnitude (linear)</source>
        <translation>Модуль (лин.)</translation>
    </message>
    <message>
        <source>Impedance (Ω)</source>
        <translation>Импеданс (Ω)</translation>
    </message>
    <message>
        <source>Frequency (Hz)</source>
        <translation>Частота (Hz)</translation>
    </message>
    <message>
        <source>Magnitude (dB)</source>
        <translation>Модуль (dB)</translation>
    </message>
    <message>
        <source>&lt;h2&gt;Fixture characterization&lt;/h2&gt;&lt;p&gt;The graphs show the computed characteristics of every fixture port of the configuration:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;Length&lt;/b&gt;: the impulse response. Its curves are named L, the fixture and the analyser port (LA1, LB2); &lt;b&gt;Reference markers&lt;/b&gt; gives the delay of each curve&apos;s peak: through the whole 2x-thru for a thru step, the round trip for a 1x-reflect step. Either is twice one fixture&apos;s delay: halve it for the electrical length of one fixture.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Gating&lt;/b&gt;: the gated response. While the calibration plane offset is applied, drag the movable marker to move the reference plane; &lt;b&gt;Set default offset&lt;/b&gt; returns it to the calculated position.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Impedance&lt;/b&gt;: the impedance profile of the fixture. An impedance deviating by more than 5-10% from the reference distorts the DUT results.&lt;/li&gt;&lt;li&gt;&lt;b&gt;S-parameters&lt;/b&gt;: the magnitudes of S11, S21, S12 and S22 of the fixture model.&lt;/li&gt;&lt;/ul&gt;&lt;p&gt;Click a legend entry to make its curve active, double-click it to hide or show the curve. Drag a rectangle to zoom in.&lt;/p&gt;</source>
        <translation>&lt;h2&gt;Характеризация оснастки&lt;/h2&gt;&lt;p&gt;Графики показывают рассчитанные характеристики каждого порта оснастки в конфигурации:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;Длина&lt;/b&gt;: импульсная характеристика. Кривые названы буквой L, обозначением оснастки и номером порта анализатора (LA1, LB2); &lt;b&gt;Опорные маркеры&lt;/b&gt; показывают задержку максимума каждой кривой: через всё соединение 2x-Thru для шага Thru, туда и обратно для шага отражения (1xReflect). В обоих случаях это удвоенная задержка одной оснастки: разделите её пополам, чтобы получить электрическую длину одной оснастки.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Стробирование&lt;/b&gt;: стробированная характеристика. Когда применено смещение плоскости калибровки, перетащите подвижный маркер, чтобы сместить опорную плоскость; &lt;b&gt;Смещение по умолчанию&lt;/b&gt; возвращает её в рассчитанное положение.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Импеданс&lt;/b&gt;: профиль импеданса оснастки. Отклонение импеданса от опорного более чем на 5-10% искажает результаты DUT.&lt;/li&gt;&lt;li&gt;&lt;b&gt;S-параметры&lt;/b&gt;: модули S11, S21, S12 и S22 модели оснастки.&lt;/li&gt;&lt;/ul&gt;&lt;p&gt;Щелчок по элементу легенды делает кривую активной, двойной щелчок скрывает или показывает её. Выделите прямоугольник, чтобы увеличить масштаб.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>FixturePage</name>
    <message>
        <source>Description</source>
        <translation>Описание</translation>
    </message>
    <message>
        <source>Configure fixtures</source>
        <translation>Настройка оснастки</translation>
    </message>
    <message>
        <source>&lt;h2&gt;Step 1. Description&lt;/h2&gt;&lt;p&gt;Each configuration tab selects the fixtures used for the measurement, the number of their ports and the method of the fixture parameters calculation.&lt;/p&gt;&lt;p&gt;Confirm the fixture configuration and make sure that the VNA has enough ports for the fixture connection.&lt;/p&gt;&lt;h3&gt;Procedure&lt;/h3&gt;&lt;ol&gt;&lt;li&gt;Check the fixture ports and connectors.&lt;/li&gt;&lt;li&gt;Choose the number of ports of fixture A and fixture B, or disable one of the fixtures.&lt;/li&gt;&lt;li&gt;Choose the method of the fixture parameters calculation.&lt;/li&gt;&lt;/ol&gt;&lt;h3&gt;Methods&lt;/h3&gt;&lt;p&gt;&lt;b&gt;Time Gating&lt;/b&gt; suits fixtures with long leading lines or measurements at high frequencies. It supports the 2xThrough and the 1xReflect setups. Use it when the electrical fixture length is greater than 4x the rise time.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Filtering&lt;/b&gt; is the most accurate method when the signals of the fixture and the DUT overlap in time. It supports the 2xThrough and the 1xReflect setups. Use it when the electrical fixture length is greater than or close to 4x the rise time and there are no impedance variations along the fixture length.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Bisection&lt;/b&gt; suits fixtures with short leading lines and needs no time-domain processing. Bisection method supports 2xThrough only.&lt;/p&gt;&lt;p&gt;Only single-ended fixture ports (SE) are supported.&lt;/p&gt;&lt;p&gt;When the fixture ports outnumber the available VNA ports, a warning is shown: further measurements would lead to incorrect results.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Recall setup&lt;/b&gt; loads a *.sta file with the VNA settings, the calibration and the settings of the first four tabs (description, connection, VNA setup and VNA calibration).&lt;/p&gt;&lt;p&gt;&lt;b&gt;Plug-in preset&lt;/b&gt; deletes all measured data without saving it and returns the plug-in to its initial state.&lt;/p&gt;&lt;h3&gt;Errors&lt;/h3&gt;&lt;p&gt;Problems are reported in two categories: &lt;b&gt;Warning&lt;/b&gt; (the result may be inaccurate) and &lt;b&gt;Critical error&lt;/b&gt; (the measurement cannot be performed correctly). The details are listed in the notification panel.&lt;/p&gt;</source>
        <translation>&lt;h2&gt;Шаг 1. Описание&lt;/h2&gt;&lt;p&gt;Каждая вкладка конфигурации задаёт оснастку для измерения, число её портов и метод расчёта параметров оснастки.&lt;/p&gt;&lt;p&gt;Подтвердите конфигурацию оснастки и убедитесь, что у ВАЦ достаточно портов для её подключения.&lt;/p&gt;&lt;h3&gt;Порядок действий&lt;/h3&gt;&lt;ol&gt;&lt;li&gt;Проверьте порты и разъёмы оснастки.&lt;/li&gt;&lt;li&gt;Выберите число портов оснастки A и оснастки B или отключите одну из них.&lt;/li&gt;&lt;li&gt;Выберите метод расчёта параметров оснастки.&lt;/li&gt;&lt;/ol&gt;&lt;h3&gt;Методы&lt;/h3&gt;&lt;p&gt;&lt;b&gt;Временное стробирование&lt;/b&gt; подходит для оснастки с длинными подводящими линиями и для измерений на высоких частотах. Поддерживает схемы 2xThrough и 1xReflect. Применяйте его, когда электрическая длина оснастки больше 4x времени нарастания.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Фильтрация&lt;/b&gt; — самый точный метод, когда сигналы оснастки и DUT перекрываются во времени. Поддерживает схемы 2xThrough и 1xReflect. Применяйте его, когда электрическая длина оснастки больше или близка к 4x времени нарастания и вдоль оснастки нет неоднородностей импеданса.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Бисекция&lt;/b&gt; подходит для оснастки с короткими подводящими линиями и не требует обработки во временной области. Метод бисекции поддерживает только 2xThrough.&lt;/p&gt;&lt;p&gt;Поддерживаются только несимметричные порты оснастки (SE).&lt;/p&gt;&lt;p&gt;Если портов оснастки больше, чем доступных портов ВАЦ, выводится предупреждение: дальнейшие измерения дадут неверные результаты.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Загрузить настройки&lt;/b&gt; загружает файл *.sta с настройками ВАЦ, калибровкой и настройками первых четырёх вкладок (описание, подключение, настройка ВАЦ и калибровка ВАЦ).&lt;/p&gt;&lt;p&gt;&lt;b&gt;Предустановка плагина&lt;/b&gt; удаляет все измеренные данные без сохранения и возвращает плагин в исходное состояние.&lt;/p&gt;&lt;h3&gt;Ошибки&lt;/h3&gt;&lt;p&gt;Проблемы сообщаются в двух категориях: &lt;b&gt;Предупреждение&lt;/b&gt; (результат может быть неточным) и &lt;b&gt;Критическая ошибка&lt;/b&gt; (измерение не может быть выполнено правильно). Подробности приводятся на панели уведомлений.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Configuration </source>
        <translation>Конфигурация </translation>
    </message>
    <message>
        <source>Fixture </source>
        <translation>Оснастка </translation>
    </message>
    <message>
        <source>Num of ports</source>
        <translation>Число портов</translation>
    </message>
    <message>
        <source>Topology</source>
        <translation>Топология</translation>
    </message>
    <message>
        <source>Single ended</source>
        <translation>Несимметричная</translation>
    </message>
    <message>
        <source>Balanced</source>
        <translation>Симметричная</translation>
    </message>
    <message>
        <source>Select the method for fixture parameters calculation</source>
        <translation>Выберите метод расчёта параметров оснастки</translation>
    </message>
    <message>
        <source>Method</source>
        <translation>Метод</translation>
    </message>
    <message>
        <source>Time Gating</source>
        <translation>Временное стробирование</translation>
    </message>
    <message>
        <source>Filtering</source>
        <translation>Фильтрация</translation>
    </message>
    <message>
        <source>Bisection</source>
        <translation>Бисекция</translation>
    </message>
    <message>
        <source>Recall the saved configuration setup where applicable</source>
        <translation>Загрузите сохранённую конфигурацию, если требуется</translation>
    </message>
    <message>
        <source>Recall setup</source>
        <translation>Загрузить настройки</translation>
    </message>
    <message>
        <source>Available VNA ports: </source>
        <translation>Доступные порты ВАЦ: </translation>
    </message>
    <message>
        <source>Fixture ports: </source>
        <translation>Порты оснастки: </translation>
    </message>
    <message>
        <source>&lt;p align=justify&gt;VNA ports are not enough for the fixture connection. Further measurements will lead to incorrect results.&lt;/p&gt;</source>
        <translation>&lt;p align=justify&gt;Портов ВАЦ недостаточно для подключения оснастки. Дальнейшие измерения дадут неверные результаты.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Plug-in preset</source>
        <translation>Предустановка плагина</translation>
    </message>
    <message>
        <source>Open State File</source>
        <translation>Открыть файл состояния</translation>
    </message>
    <message>
        <source>State files (*.sta)</source>
        <translation>Файлы состояния (*.sta)</translation>
    </message>
    <message>
        <source>The preset deletes all measured data without saving it and returns the plug-in to its initial state. Perform the plug-in preset?</source>
        <translation>Предустановка удалит все измеренные данные без сохранения и вернёт плагин в исходное состояние. Выполнить предустановку плагина?</translation>
    </message>
    <message>
        <source>Perform</source>
        <translation>Выполнить</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>FIXTURE %1
IN</source>
        <translation>ОСНАСТКА %1
ВХОД</translation>
    </message>
    <message>
        <source>FIXTURE %1
OUT</source>
        <translation>ОСНАСТКА %1
ВЫХОД</translation>
    </message>
</context>
<context>
    <name>JobGate</name>
    <message>
        <source>Another measurement or action is running. Wait until it has finished, or cancel it</source>
        <translation>Выполняется другое измерение или действие. Дождитесь его завершения или отмените его</translation>
    </message>
</context>
<context>
    <name>Korvel::Automation::RemoteControl</name>
    <message>
        <source>Off</source>
        <translation>Выключено</translation>
    </message>
    <message>
        <source>Remote control cannot listen: invalid port number %1</source>
        <translation>Удалённое управление не может принимать подключения: недопустимый номер порта %1</translation>
    </message>
    <message>
        <source>Remote control cannot listen on port %1: %2</source>
        <translation>Удалённое управление не может принимать подключения на порту %1: %2</translation>
    </message>
    <message>
        <source>Listening on 127.0.0.1:%1</source>
        <translation>Ожидание подключений на 127.0.0.1:%1</translation>
    </message>
</context>
<context>
    <name>Korvel::Automation::SocketRemoteControl</name>
    <message>
        <source>Accepted connection</source>
        <translation>Соединение принято</translation>
    </message>
</context>
<context>
    <name>MainQmlBackend</name>
    <message>
        <source>Plug-in preset</source>
        <translation>Предустановка плагина</translation>
    </message>
    <message>
        <source>Cannot read the frequency grid from VNA</source>
        <translation>Не удаётся прочитать сетку частот ВАЦ</translation>
    </message>
    <message>
        <source>Correction</source>
        <translation>Коррекция</translation>
    </message>
    <message>
        <source>Save correction</source>
        <translation>Сохранение коррекции</translation>
    </message>
    <message>
        <source>Save the raw data</source>
        <translation>Сохранение исходных данных</translation>
    </message>
    <message>
        <source>Save the raw data files was performed:</source>
        <translation>Исходные данные сохранены:</translation>
    </message>
    <message>
        <source>Save test mode parameters</source>
        <translation>Сохранение параметров тестового режима</translation>
    </message>
    <message>
        <source>Save test mode parameters was performed:</source>
        <translation>Параметры тестового режима сохранены:</translation>
    </message>
    <message>
        <source>Save setup</source>
        <translation>Сохранение настроек</translation>
    </message>
    <message>
        <source>Cannot read the type of saving state file from VNA</source>
        <translation>Не удаётся прочитать из ВАЦ тип сохраняемого файла состояния</translation>
    </message>
    <message>
        <source>Recall setup</source>
        <translation>Загрузка настроек</translation>
    </message>
    <message>
        <source>Open file</source>
        <translation>Открытие файла</translation>
    </message>
    <message>
        <source>Invalid value %1=%2 in section [%3]</source>
        <translation>Недопустимое значение %1=%2 в разделе [%3]</translation>
    </message>
    <message>
        <source>The file holds no setup sections</source>
        <translation>Файл не содержит разделов настроек</translation>
    </message>
    <message>
        <source>The file name contains a line break or &apos;;&apos;, which VNA cannot take</source>
        <translation>Имя файла содержит перевод строки или &apos;;&apos;, которые ВАЦ не принимает</translation>
    </message>
    <message>
        <source>The fixture model for VNA port %1 has no reference impedance: its correction file cannot be written</source>
        <translation>У модели оснастки для порта ВАЦ %1 нет опорного импеданса: файл коррекции для неё не может быть записан</translation>
    </message>
    <message>
        <source>; these files of this action were already replaced: %1</source>
        <translation>; эти файлы данного действия уже заменены: %1</translation>
    </message>
    <message>
        <source>the link to VNA was lost</source>
        <translation>связь с ВАЦ потеряна</translation>
    </message>
    <message>
        <source>port %1: no answer from VNA</source>
        <translation>порт %1: ВАЦ не ответил</translation>
    </message>
    <message>
        <source>port %1: VNA holds the file &quot;%2&quot; instead of %3</source>
        <translation>порт %1: в ВАЦ загружен файл &quot;%2&quot; вместо %3</translation>
    </message>
    <message>
        <source>port %1: VNA did not load %2</source>
        <translation>порт %1: ВАЦ не загрузил %2</translation>
    </message>
    <message>
        <source>port %1: no answer from VNA about the port impedance</source>
        <translation>порт %1: ВАЦ не сообщил импеданс порта</translation>
    </message>
    <message>
        <source>port %1: the port impedance is %2 Ohm instead of %3 Ohm</source>
        <translation>порт %1: импеданс порта %2 Ohm вместо %3 Ohm</translation>
    </message>
    <message>
        <source>no answer from VNA about de-embedding</source>
        <translation>ВАЦ не сообщил состояние исключения оснастки</translation>
    </message>
    <message>
        <source>de-embedding stayed off</source>
        <translation>исключение оснастки осталось выключенным</translation>
    </message>
    <message>
        <source>no answer from VNA about the fixture simulator</source>
        <translation>ВАЦ не сообщил состояние симулятора оснастки</translation>
    </message>
    <message>
        <source>the fixture simulator stayed off</source>
        <translation>симулятор оснастки остался выключенным</translation>
    </message>
    <message>
        <source>VNA reports: %1</source>
        <translation>ВАЦ сообщает: %1</translation>
    </message>
    <message>
        <source>Correction was not applied: %1</source>
        <translation>Коррекция не применена: %1</translation>
    </message>
    <message>
        <source>Cannot read the frequency grid from VNA: VNA is not ready</source>
        <translation>Не удаётся прочитать сетку частот из ВАЦ: ВАЦ не готов</translation>
    </message>
    <message>
        <source>VNA is not ready</source>
        <translation>ВАЦ не готов</translation>
    </message>
    <message>
        <source>Nothing was sent to VNA</source>
        <translation>В ВАЦ ничего не отправлено</translation>
    </message>
    <message>
        <source>VNA cannot be reached to put it back: its de-embedding and fixture simulator may be left switched on</source>
        <translation>Связь с ВАЦ не восстановлена, вернуть прежнее состояние нельзя: исключение оснастки и симулятор оснастки могут остаться включёнными</translation>
    </message>
    <message>
        <source>VNA cannot be reached to put it back: VNA port(s) %1 may be left de-embedding the new files</source>
        <translation>Связь с ВАЦ не восстановлена, вернуть прежнее состояние нельзя: на портах ВАЦ %1 может остаться исключение оснастки по новым файлам</translation>
    </message>
    <message>
        <source>port %1 is left de-embedding %2</source>
        <translation>на порту %1 осталось исключение оснастки по %2</translation>
    </message>
    <message>
        <source>port %1 is left with its de-embedding off</source>
        <translation>на порту %1 исключение оснастки осталось выключенным</translation>
    </message>
    <message>
        <source>port %1 is left at %2 Ohm (%3 Ohm before)</source>
        <translation>импеданс порта %1 остался %2 Ом (было %3 Ом)</translation>
    </message>
    <message>
        <source>de-embedding is left on</source>
        <translation>исключение оснастки осталось включённым</translation>
    </message>
    <message>
        <source>de-embedding is left off</source>
        <translation>исключение оснастки осталось выключенным</translation>
    </message>
    <message>
        <source>the fixture simulator is left on</source>
        <translation>симулятор оснастки остался включённым</translation>
    </message>
    <message>
        <source>the fixture simulator is left off</source>
        <translation>симулятор оснастки остался выключенным</translation>
    </message>
    <message>
        <source>VNA could not be put back as it was: %1</source>
        <translation>Прежнее состояние ВАЦ вернуть не удалось: %1</translation>
    </message>
    <message>
        <source>VNA was put back as it was before</source>
        <translation>Прежнее состояние ВАЦ восстановлено</translation>
    </message>
    <message>
        <source>; VNA port(s) %1 de-embed their files as before, which now hold the new models</source>
        <translation>; порты ВАЦ %1 по-прежнему исключают оснастку по своим файлам, в которых теперь новые модели</translation>
    </message>
    <message>
        <source>Cannot save setup. %1</source>
        <translation>Не удаётся сохранить настройки. %1</translation>
    </message>
    <message>
        <source>The file name contains a line break or &apos;;&apos;, which VNA cannot take: %1</source>
        <translation>Имя файла содержит перевод строки или &apos;;&apos;, которые ВАЦ не принимает: %1</translation>
    </message>
    <message>
        <source>The link to VNA was lost; its state-file save type may be left changed (it was %1)</source>
        <translation>Связь с ВАЦ потеряна; тип сохраняемого файла состояния мог остаться изменённым (был %1)</translation>
    </message>
    <message>
        <source>The link to VNA was lost while VNA saved its state; its save type was put back</source>
        <translation>Связь с ВАЦ потеряна, пока ВАЦ сохранял своё состояние; тип сохранения восстановлен</translation>
    </message>
    <message>
        <source>VNA could not write its state for %1: %2</source>
        <translation>ВАЦ не смог записать своё состояние для %1: %2</translation>
    </message>
    <message>
        <source>VNA did not write its state for %1</source>
        <translation>ВАЦ не записал своё состояние для %1</translation>
    </message>
    <message>
        <source>VNA cannot be reached again, but no command reached it</source>
        <translation>Связь с ВАЦ не восстановлена, но ни одна команда до него не дошла</translation>
    </message>
    <message>
        <source>Plug-in preset was performed</source>
        <translation>Предустановка плагина выполнена</translation>
    </message>
    <message>
        <source>Correction was applied</source>
        <translation>Коррекция применена</translation>
    </message>
    <message>
        <source>Save correction files was performed: </source>
        <translation>Файлы коррекции сохранены: </translation>
    </message>
    <message>
        <source>Save setup was performed: </source>
        <translation>Настройки сохранены: </translation>
    </message>
    <message>
        <source>Recall setup was performed: </source>
        <translation>Настройки загружены: </translation>
    </message>
</context>
<context>
    <name>MarkerView</name>
    <message>
        <source>Ref</source>
        <translation>Опорн.</translation>
    </message>
</context>
<context>
    <name>MeasureFixturePage</name>
    <message>
        <source>Fixture measurement</source>
        <translation>Измерение оснастки</translation>
    </message>
    <message>
        <source>Measure or recall the fixture according to the selected connections</source>
        <translation>Измерьте или загрузите оснастку в соответствии с выбранными подключениями</translation>
    </message>
    <message>
        <source>&lt;h2&gt;Step 5. Fixture measurement&lt;/h2&gt;&lt;p&gt;The calculated fixture S-parameters are sent to the VNA software as *.s2p files, one file per VNA port; parameters of the fixture marked Aux are not sent to the analyzer software.&lt;/p&gt;&lt;p&gt;So far the fixtures have been described, connected and assigned to the VNA ports, and the VNA has been set up and calibrated. Now perform the measurement steps one after another with the arrows at the top.&lt;/p&gt;&lt;h3&gt;2xThrough&lt;/h3&gt;&lt;ol&gt;&lt;li&gt;Connect the two fixtures to each other and press &lt;b&gt;Measure&lt;/b&gt;, or press &lt;b&gt;Recall&lt;/b&gt; to load a Touchstone file. A recalled file supplies the raw S-parameters, the frequency grid and the impedance; a frequency grid that differs from the VNA&apos;s is interpolated when the file is loaded.&lt;/li&gt;&lt;li&gt;The results are shown for every port: the electrical length, the fixture impedance and the impedance the model is converted to.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Delete data&lt;/b&gt; clears the measurement.&lt;/li&gt;&lt;/ol&gt;&lt;p&gt;After a 2xThrough the electrical length of each half can be adjusted in two ways: enter the offsets manually, or derive them from open/short measurements with the fixtures disconnected. Normally, the offset range is 0 to 10 ps.&lt;/p&gt;&lt;h3&gt;1xReflect&lt;/h3&gt;&lt;p&gt;Choose the open standard, the short standard or both, and measure or recall each of them. The compensation of the maximum signal by the spline approximation is on by default.&lt;/p&gt;&lt;h3&gt;DUT&lt;/h3&gt;&lt;p&gt;The fixture models are corrected with a measurement of the DUT in the fixtures. This mode should be used with the utmost care.&lt;/p&gt;&lt;h3&gt;Characterization&lt;/h3&gt;&lt;p&gt;&lt;b&gt;Edit characterization&lt;/b&gt; shows four graphs of every fixture port: &lt;b&gt;Length&lt;/b&gt; (the impulse response the electrical length is taken from), &lt;b&gt;Gating&lt;/b&gt; (the gated response, where the reference plane can be moved), &lt;b&gt;Impedance&lt;/b&gt; (the impedance profile; an impedance deviating by more than 5-10% from the reference distorts the DUT results) and &lt;b&gt;S-parameters&lt;/b&gt;.&lt;/p&gt;&lt;h3&gt;Errors&lt;/h3&gt;&lt;p&gt;Problems are reported as &lt;b&gt;Warning&lt;/b&gt; or &lt;b&gt;Critical error&lt;/b&gt;; the details are listed in the notification panel.&lt;/p&gt;</source>
        <translation>&lt;h2&gt;Шаг 5. Измерение оснастки&lt;/h2&gt;&lt;p&gt;Рассчитанные S-параметры оснастки передаются в ПО ВАЦ в виде файлов *.s2p, по одному файлу на порт ВАЦ; параметры оснастки с пометкой Aux в ПО анализатора не передаются.&lt;/p&gt;&lt;p&gt;К этому моменту оснастка описана, подключена и назначена портам ВАЦ, а ВАЦ настроен и откалиброван. Теперь выполните шаги измерения один за другим, переходя между ними стрелками вверху.&lt;/p&gt;&lt;h3&gt;2xThrough&lt;/h3&gt;&lt;ol&gt;&lt;li&gt;Соедините две оснастки друг с другом и нажмите &lt;b&gt;Измерить&lt;/b&gt; или нажмите &lt;b&gt;Загрузить&lt;/b&gt;, чтобы загрузить файл Touchstone. Загруженный файл даёт исходные S-параметры, сетку частот и импеданс; сетка частот, отличная от сетки ВАЦ, интерполируется при загрузке файла.&lt;/li&gt;&lt;li&gt;Для каждого порта показываются результаты: электрическая длина, импеданс оснастки и импеданс, к которому преобразуется модель.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Удалить данные&lt;/b&gt; очищает измерение.&lt;/li&gt;&lt;/ol&gt;&lt;p&gt;После 2xThrough электрическую длину каждой половины можно уточнить двумя способами: ввести смещения вручную или получить их из измерений ХХ/КЗ при разъединённой оснастке. Обычно смещение лежит в пределах от 0 до 10 ps.&lt;/p&gt;&lt;h3&gt;1xReflect&lt;/h3&gt;&lt;p&gt;Выберите меру ХХ, меру КЗ или обе и измерьте или загрузите каждую из них. Компенсация максимального сигнала сплайн-аппроксимацией включена по умолчанию.&lt;/p&gt;&lt;h3&gt;DUT&lt;/h3&gt;&lt;p&gt;Модели оснастки корректируются по измерению DUT в оснастке. Этот режим следует применять с особой осторожностью.&lt;/p&gt;&lt;h3&gt;Характеризация&lt;/h3&gt;&lt;p&gt;&lt;b&gt;Изменить характеризацию&lt;/b&gt; показывает четыре графика для каждого порта оснастки: &lt;b&gt;Длина&lt;/b&gt; (импульсная характеристика, по которой определяется электрическая длина), &lt;b&gt;Стробирование&lt;/b&gt; (стробированная характеристика, на которой можно сместить опорную плоскость), &lt;b&gt;Импеданс&lt;/b&gt; (профиль импеданса; отклонение импеданса от опорного более чем на 5-10% искажает результаты DUT) и &lt;b&gt;S-параметры&lt;/b&gt;.&lt;/p&gt;&lt;h3&gt;Ошибки&lt;/h3&gt;&lt;p&gt;Проблемы сообщаются как &lt;b&gt;Предупреждение&lt;/b&gt; или &lt;b&gt;Критическая ошибка&lt;/b&gt;; подробности приводятся на панели уведомлений.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Configuration </source>
        <translation>Конфигурация </translation>
    </message>
    <message>
        <source>Step </source>
        <translation>Шаг </translation>
    </message>
    <message>
        <source> of </source>
        <translation> из </translation>
    </message>
    <message>
        <source>Step is complete</source>
        <translation>Шаг выполнен</translation>
    </message>
    <message>
        <source>Step is not complete</source>
        <translation>Шаг не выполнен</translation>
    </message>
    <message>
        <source>The models carry warnings (%1): see the notification panel</source>
        <translation>Модели содержат предупреждения (%1): см. панель уведомлений</translation>
    </message>
</context>
<context>
    <name>MeasureGraphInstantiator</name>
    <message>
        <source>Offset:</source>
        <translation>Смещение:</translation>
    </message>
</context>
<context>
    <name>MeasuredFixturePort</name>
    <message>
        <source>the fixture at analyser port %1</source>
        <translation>оснастки на порту анализатора %1</translation>
    </message>
</context>
<context>
    <name>MethodRules</name>
    <message>
        <source>The bisection method does not support the 1xReflect setup. It requires a direct connection of two fixtures: nothing was measured.</source>
        <translation>Метод бисекции не поддерживает схему 1xReflect. Он требует прямого соединения двух оснасток: ничего не измерено.</translation>
    </message>
</context>
<context>
    <name>PageWithReturn</name>
    <message>
        <source>Return</source>
        <translation>Вернуться</translation>
    </message>
    <message>
        <source>Return to </source>
        <translation>Вернуться к </translation>
    </message>
</context>
<context>
    <name>Plotter</name>
    <message>
        <source>zoom out</source>
        <translation>сбросить масштаб</translation>
    </message>
</context>
<context>
    <name>PortMeasureDataPane</name>
    <message>
        <source>Port </source>
        <translation>Порт </translation>
    </message>
    <message>
        <source> Ohm</source>
        <translation> Ohm</translation>
    </message>
    <message>
        <source>Error while measure</source>
        <translation>Ошибка измерения</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>The signal is too noisy. Check fixture connections and repeat the measurement.</source>
        <translation>Сигнал слишком зашумлён. Проверьте подключение оснастки и повторите измерение.</translation>
    </message>
    <message>
        <source>Cannot read the frequency grid</source>
        <translation>Не удаётся прочитать сетку частот</translation>
    </message>
    <message>
        <source>Cannot read S-parameters data</source>
        <translation>Не удаётся прочитать S-параметры</translation>
    </message>
    <message>
        <source>Cannot read z0 impedance value</source>
        <translation>Не удаётся прочитать значение импеданса z0</translation>
    </message>
    <message>
        <source>Critical error. Please restart application</source>
        <translation>Критическая ошибка. Перезапустите приложение</translation>
    </message>
    <message>
        <source>Calculation error. There is no length data</source>
        <translation>Ошибка расчёта. Нет данных о длине</translation>
    </message>
    <message>
        <source>There is no calculated data</source>
        <translation>Нет рассчитанных данных</translation>
    </message>
    <message>
        <source>Not enough number of ports</source>
        <translation>Недостаточно портов</translation>
    </message>
    <message>
        <source>Cannot recall state file: </source>
        <translation>Не удаётся загрузить файл состояния: </translation>
    </message>
    <message>
        <source>The error during data exchange with VNA has been occurred</source>
        <translation>Произошла ошибка обмена данными с ВАЦ</translation>
    </message>
    <message>
        <source>The file path contains a line break or &apos;;&apos; and cannot be sent to VNA:</source>
        <translation>Путь к файлу содержит перевод строки или &apos;;&apos; и не может быть передан в ВАЦ:</translation>
    </message>
    <message>
        <source>File cannot be created. Path name contains invalid symbols</source>
        <translation>Не удаётся создать файл. Путь содержит недопустимые символы</translation>
    </message>
</context>
<context>
    <name>ReflectionMeasurer</name>
    <message>
        <source>Read s-data</source>
        <translation>Чтение S-параметров</translation>
    </message>
    <message>
        <source>Read frequencies</source>
        <translation>Чтение частот</translation>
    </message>
    <message>
        <source>Calculate</source>
        <translation>Расчёт</translation>
    </message>
    <message>
        <source>No fixture port is connected to an analyser port</source>
        <translation>Ни один порт оснастки не подключён к порту анализатора</translation>
    </message>
</context>
<context>
    <name>ReflectionStep</name>
    <message>
        <source>1xReflect setup</source>
        <translation>Схема 1xReflect</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>ХХ</translation>
    </message>
    <message>
        <source>Measure</source>
        <translation>Измерить</translation>
    </message>
    <message>
        <source>Recall</source>
        <translation>Загрузить</translation>
    </message>
    <message>
        <source>Short</source>
        <translation>КЗ</translation>
    </message>
    <message>
        <source>Delete data</source>
        <translation>Удалить данные</translation>
    </message>
    <message>
        <source>Apply fixture 
 calibration plane offset</source>
        <translation>Применить смещение 
 плоскости калибровки оснастки</translation>
    </message>
    <message>
        <source>ps</source>
        <translation>ps</translation>
    </message>
    <message>
        <source>Edit characterization</source>
        <translation>Изменить характеризацию</translation>
    </message>
    <message>
        <source>Reflection Short</source>
        <translation>Отражение КЗ</translation>
    </message>
    <message>
        <source>Reflection Open</source>
        <translation>Отражение ХХ</translation>
    </message>
    <message>
        <source>Reflection offset</source>
        <translation>Смещение по отражению</translation>
    </message>
    <message>
        <source>Applying offset</source>
        <translation>Применение смещения</translation>
    </message>
    <message>
        <source>Cannot apply the offset</source>
        <translation>Не удаётся применить смещение</translation>
    </message>
    <message>
        <source>Use compensation of
the max signal by
the spline approximation</source>
        <translation>Компенсация
максимального сигнала
сплайн-аппроксимацией</translation>
    </message>
</context>
<context>
    <name>SParameterSource</name>
    <message>
        <source>the file names no reference impedance (R 0)</source>
        <translation>в файле не указан опорный импеданс (R 0)</translation>
    </message>
</context>
<context>
    <name>SaveCorrectionPage</name>
    <message>
        <source>Touchstone files (*.s2p)</source>
        <translation>Файлы Touchstone (*.s2p)</translation>
    </message>
    <message>
        <source>Raw data files (*.s*p)</source>
        <translation>Файлы исходных данных (*.s*p)</translation>
    </message>
    <message>
        <source>Results</source>
        <translation>Результаты</translation>
    </message>
    <message>
        <source>Apply and save measurement and calculation results</source>
        <translation>Примените и сохраните результаты измерений и расчётов</translation>
    </message>
    <message>
        <source>&lt;h2&gt;Step 6. Results&lt;/h2&gt;&lt;p&gt;&lt;b&gt;Apply&lt;/b&gt; hands the calculated fixture files (*.s2p) to the VNA software, which then de-embeds them from the measurements. Port 1 (S11) of every file faces the VNA port.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Save correction files&lt;/b&gt; stores the calculated fixture files for later use; one file is written per VNA port, numbered after it.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Save setup&lt;/b&gt; stores a state file (*.sta) with the choices of the description, fixture connection, VNA setup and VNA calibration steps.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Save raw data&lt;/b&gt; stores the measured data; they can be recalled on the fixture measurement page instead of a new measurement.&lt;/p&gt;</source>
        <translation>&lt;h2&gt;Шаг 6. Результаты&lt;/h2&gt;&lt;p&gt;&lt;b&gt;Применить&lt;/b&gt; передаёт рассчитанные файлы оснастки (*.s2p) в ПО ВАЦ, которое затем исключает их из измерений. Порт 1 (S11) каждого файла обращён к порту ВАЦ.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Сохранить файлы коррекции&lt;/b&gt; сохраняет рассчитанные файлы оснастки для последующего использования; на каждый порт ВАЦ записывается один файл с его номером.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Сохранить настройки&lt;/b&gt; сохраняет файл состояния (*.sta) с выбором, сделанным на шагах описания, подключения оснастки, настройки ВАЦ и калибровки ВАЦ.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Сохранить исходные данные&lt;/b&gt; сохраняет измеренные данные; на странице измерения оснастки их можно загрузить вместо нового измерения.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Применить</translation>
    </message>
    <message>
        <source>Save correction files...</source>
        <translation>Сохранить файлы коррекции...</translation>
    </message>
    <message>
        <source>Save setup...</source>
        <translation>Сохранить настройки...</translation>
    </message>
    <message>
        <source>Save raw data</source>
        <translation>Сохранить исходные данные</translation>
    </message>
    <message>
        <source>Apply results</source>
        <translation>Применить результаты</translation>
    </message>
    <message>
        <source>To transmit the calculated data to the VNA software 
 and apply them for de-embedding</source>
        <translation>Передать рассчитанные данные в ПО ВАЦ 
 и применить их для исключения оснастки</translation>
    </message>
    <message>
        <source>Save correction files (.sNp)</source>
        <translation>Сохранить файлы коррекции (.sNp)</translation>
    </message>
    <message>
        <source>For future use if desired</source>
        <translation>Для последующего использования</translation>
    </message>
    <message>
        <source>Save setup</source>
        <translation>Сохранить настройки</translation>
    </message>
    <message>
        <source>To save the current Vukelan settings 
 VUK &amp; VNA configuration files</source>
        <translation>Сохранить текущие настройки Vukelan: 
 файлы конфигурации VUK и ВАЦ</translation>
    </message>
    <message>
        <source>To save the raw data</source>
        <translation>Сохранить исходные данные измерений</translation>
    </message>
    <message>
        <source>Save Files</source>
        <translation>Сохранение файлов</translation>
    </message>
    <message>
        <source>Save State File</source>
        <translation>Сохранение файла состояния</translation>
    </message>
    <message>
        <source>State files (*.sta)</source>
        <translation>Файлы состояния (*.sta)</translation>
    </message>
    <message>
        <source>Warnings of the fixture models Apply hands to the VNA software (%1):</source>
        <translation>Предупреждения моделей оснастки, которые «Применить» передаёт в ПО ВАЦ (%1):</translation>
    </message>
</context>
<context>
    <name>SaveFailure</name>
    <message>
        <source>The file read back differs from what was written: %1</source>
        <translation>Прочитанный файл отличается от записанного: %1</translation>
    </message>
    <message>
        <source>The disk is full: %1</source>
        <translation>Диск заполнен: %1</translation>
    </message>
    <message>
        <source>The file is too large for the disk: %1</source>
        <translation>Файл слишком велик для диска: %1</translation>
    </message>
    <message>
        <source>The folder is not writable: %1</source>
        <translation>Папка недоступна для записи: %1</translation>
    </message>
    <message>
        <source>The folder does not exist: %1</source>
        <translation>Папка не существует: %1</translation>
    </message>
    <message>
        <source>A folder of that name exists: %1</source>
        <translation>Существует папка с таким именем: %1</translation>
    </message>
    <message>
        <source>Path name contains invalid symbols: %1</source>
        <translation>Путь содержит недопустимые символы: %1</translation>
    </message>
    <message>
        <source>File cannot be created. %1</source>
        <translation>Не удаётся создать файл. %1</translation>
    </message>
    <message>
        <source>File cannot be created (%1): %2</source>
        <translation>Не удаётся создать файл (%1): %2</translation>
    </message>
</context>
<context>
    <name>SettingsPage</name>
    <message>
        <source>SETTINGS</source>
        <translation>НАСТРОЙКИ</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Экран</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Общие</translation>
    </message>
    <message>
        <source>Dark theme</source>
        <translation>Тёмная тема</translation>
    </message>
    <message>
        <source>Save user setup</source>
        <translation>Сохранять настройки пользователя</translation>
    </message>
    <message>
        <source>VNA Network</source>
        <translation>Сеть ВАЦ</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Порт</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>По умолчанию</translation>
    </message>
    <message>
        <source>Network remote control settings</source>
        <translation>Удалённое управление по сети</translation>
    </message>
    <message>
        <source>Socket server</source>
        <translation>Сокет-сервер</translation>
    </message>
    <message>
        <source>Display propeties</source>
        <translation>Параметры экрана</translation>
    </message>
    <message>
        <source>Small</source>
        <translation>Мелкий</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Средний</translation>
    </message>
    <message>
        <source>Large</source>
        <translation>Крупный</translation>
    </message>
    <message>
        <source>Restart required</source>
        <translation>Требуется перезапуск</translation>
    </message>
    <message>
        <source>The display scaling change will take effect after restart.</source>
        <translation>Изменение масштаба экрана вступит в силу после перезапуска.</translation>
    </message>
    <message>
        <source>Restart now</source>
        <translation>Перезапустить</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Позже</translation>
    </message>
    <message>
        <source>plug-in</source>
        <translation>плагину</translation>
    </message>
</context>
<context>
    <name>SetupVnaPage</name>
    <message>
        <source>VNA setup</source>
        <translation>Настройка ВАЦ</translation>
    </message>
    <message>
        <source>Review the current VNA settings and adjust to the recommended values to achieve optimal results</source>
        <translation>Проверьте текущие настройки ВАЦ и приведите их к рекомендуемым значениям для получения наилучших результатов</translation>
    </message>
    <message>
        <source>&lt;h2&gt;Step 3. VNA setup&lt;/h2&gt;&lt;p&gt;Review the sweep settings of the active VNA channel and adjust them to the recommended values.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Low pass mode&lt;/b&gt; (Fstart = Fstep): the start frequency equals the frequency step. This mode is required for the impedance calculation and the impedance conversion, and it gives a better time resolution of the impulse response for time gating. &lt;b&gt;Band pass mode&lt;/b&gt; (Fstart &amp;ne; Fstep): any other linear grid.&lt;/p&gt;&lt;p&gt;Measure the fixture over the widest possible frequency range. Only linear sweeps are supported.&lt;/p&gt;&lt;p&gt;Buttons:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;VNA preset&lt;/b&gt; returns the VNA to its preset state.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Low pass mode&lt;/b&gt; sets Fstart = Fstep by changing the start frequency; the number of points is kept.&lt;/li&gt;&lt;li&gt;&lt;b&gt;10 MHz low pass mode&lt;/b&gt; sets Fstart = Fstep = 10 MHz and the maximum stop frequency of the VNA.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Ignore low pass&lt;/b&gt; turns the low pass check off; no impedance conversion is made.&lt;/li&gt;&lt;/ul&gt;&lt;p&gt;&lt;b&gt;Warning:&lt;/b&gt; more than 20,000 points significantly slow down the measurements and calculations.&lt;/p&gt;&lt;p&gt;An IF bandwidth between 1 and 10 kHz is usually appropriate. Do not exceed 0 dBm output power.&lt;/p&gt;&lt;p&gt;A value other than the recommended one raises a notification; the «Recommended» column lists the recommended values.&lt;/p&gt;&lt;p&gt;After the fixture removal the VNA calibration reference impedance Zo can be set to:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;System&lt;/b&gt;: the system impedance of the VNA;&lt;/li&gt;&lt;li&gt;&lt;b&gt;Fixture&lt;/b&gt;: the impedance of the fixture;&lt;/li&gt;&lt;li&gt;&lt;b&gt;Custom&lt;/b&gt;: an arbitrary value.&lt;/li&gt;&lt;/ul&gt;&lt;p&gt;Errors fall into two categories, &lt;b&gt;Warning&lt;/b&gt; and &lt;b&gt;Critical error&lt;/b&gt;; both are shown in the notification panel.&lt;/p&gt;</source>
        <translation>&lt;h2&gt;Шаг 3. Настройка ВАЦ&lt;/h2&gt;&lt;p&gt;Проверьте параметры развёртки активного канала ВАЦ и приведите их к рекомендуемым значениям.&lt;/p&gt;&lt;p&gt;&lt;b&gt;Режим ФНЧ&lt;/b&gt; (Fstart = Fstep): начальная частота равна шагу по частоте. Этот режим необходим для расчёта и преобразования импеданса и даёт лучшее временное разрешение импульсной характеристики при временном стробировании. &lt;b&gt;Полосовой режим&lt;/b&gt; (Fstart &amp;ne; Fstep): любая другая линейная сетка.&lt;/p&gt;&lt;p&gt;Измеряйте оснастку в максимально широком диапазоне частот. Поддерживается только линейная развёртка.&lt;/p&gt;&lt;p&gt;Кнопки:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;Предустановка ВАЦ&lt;/b&gt; возвращает ВАЦ в исходное состояние.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Режим ФНЧ&lt;/b&gt; устанавливает Fstart = Fstep, изменяя начальную частоту; число точек сохраняется.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Режим ФНЧ 10 MHz&lt;/b&gt; устанавливает Fstart = Fstep = 10 MHz и максимальную конечную частоту ВАЦ.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Без режима ФНЧ&lt;/b&gt; отключает проверку режима ФНЧ; преобразование импеданса не выполняется.&lt;/li&gt;&lt;/ul&gt;&lt;p&gt;&lt;b&gt;Внимание:&lt;/b&gt; более 20000 точек существенно замедляют измерения и расчёты.&lt;/p&gt;&lt;p&gt;Обычно подходит полоса ПЧ от 1 до 10 kHz. Не превышайте выходную мощность 0 dBm.&lt;/p&gt;&lt;p&gt;Значение, отличное от рекомендуемого, вызывает уведомление; рекомендуемые значения приведены в столбце «Рекомендуемое».&lt;/p&gt;&lt;p&gt;После исключения оснастки опорный импеданс Zo калибровки ВАЦ можно установить равным:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;Системный&lt;/b&gt;: системному импедансу ВАЦ;&lt;/li&gt;&lt;li&gt;&lt;b&gt;Оснастка&lt;/b&gt;: импедансу оснастки;&lt;/li&gt;&lt;li&gt;&lt;b&gt;Заданный&lt;/b&gt;: произвольному значению.&lt;/li&gt;&lt;/ul&gt;&lt;p&gt;Ошибки делятся на две категории, &lt;b&gt;Предупреждение&lt;/b&gt; и &lt;b&gt;Критическая ошибка&lt;/b&gt;; обе отображаются на панели уведомлений.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Current mode:</source>
        <translation>Текущий режим:</translation>
    </message>
    <message>
        <source>Low pass (Fstart=Fstep)</source>
        <translation>ФНЧ (Fstart=Fstep)</translation>
    </message>
    <message>
        <source>Band pass (Fstart≠Fstep)</source>
        <translation>Полосовой (Fstart≠Fstep)</translation>
    </message>
    <message>
        <source>Ignore low pass</source>
        <translation>Без режима ФНЧ</translation>
    </message>
    <message>
        <source>Click to set low pass mode:</source>
        <translation>Установить режим ФНЧ:</translation>
    </message>
    <message>
        <source>Low pass mode</source>
        <translation>Режим ФНЧ</translation>
    </message>
    <message>
        <source>10 MHz low pass mode</source>
        <translation>Режим ФНЧ 10 MHz</translation>
    </message>
    <message>
        <source>After removal set 
 VNA cal reference Zo to:</source>
        <translation>После исключения установить опорный Zo калибровки ВАЦ:</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Системный</translation>
    </message>
    <message>
        <source>Fixture</source>
        <translation>Оснастка</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Заданный</translation>
    </message>
    <message>
        <source>Custom Zo</source>
        <translation>Заданный Zo</translation>
    </message>
    <message>
        <source>VNA preset</source>
        <translation>Предустановка ВАЦ</translation>
    </message>
</context>
<context>
    <name>SetupVnaTableModel</name>
    <message>
        <source>Sweep type</source>
        <translation>Тип развёртки</translation>
    </message>
    <message>
        <source>Linear freq</source>
        <translation>Линейная по частоте</translation>
    </message>
    <message>
        <source>Start frequency</source>
        <translation>Начальная частота</translation>
    </message>
    <message>
        <source>Stop frequency</source>
        <translation>Конечная частота</translation>
    </message>
    <message>
        <source>Sweep points</source>
        <translation>Число точек развёртки</translation>
    </message>
    <message>
        <source>≥ 100</source>
        <translation>≥ 100</translation>
    </message>
    <message>
        <source>Step frequency</source>
        <translation>Шаг по частоте</translation>
    </message>
    <message>
        <source>IF bandwidth</source>
        <translation>Полоса ПЧ</translation>
    </message>
    <message>
        <source>≤ 10 kHz</source>
        <translation>≤ 10 kHz</translation>
    </message>
    <message>
        <source>Output power</source>
        <translation>Выходная мощность</translation>
    </message>
    <message>
        <source>-30 to 0 dBm</source>
        <translation>от -30 до 0 dBm</translation>
    </message>
    <message>
        <source>Log freq</source>
        <translation>Логарифмическая по частоте</translation>
    </message>
    <message>
        <source>Segment freq</source>
        <translation>Сегментная по частоте</translation>
    </message>
    <message>
        <source>Power freq</source>
        <translation>По мощности</translation>
    </message>
    <message>
        <source>Start ≠ Stop</source>
        <translation>Начальная ≠ конечная</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
</context>
<context>
    <name>Step</name>
    <message>
        <source>The measurement was canceled</source>
        <translation>Измерение отменено</translation>
    </message>
    <message>
        <source>Save device state</source>
        <translation>Сохранение состояния прибора</translation>
    </message>
    <message>
        <source>Restore device state</source>
        <translation>Восстановление состояния прибора</translation>
    </message>
</context>
<context>
    <name>StepFixture</name>
    <message>
        <source>This VNA port is not calibrated.</source>
        <translation>Этот порт ВАЦ не откалиброван.</translation>
    </message>
</context>
<context>
    <name>SyncedVnaDevice</name>
    <message>
        <source>The analyser did not complete the sweep within %1 s</source>
        <translation>Анализатор не завершил развёртку за %1 s</translation>
    </message>
    <message>
        <source>The link to the analyser was lost during the measurement</source>
        <translation>Связь с анализатором потеряна во время измерения</translation>
    </message>
</context>
<context>
    <name>TaskProgress</name>
    <message>
        <source>Finished</source>
        <translation>Завершено</translation>
    </message>
</context>
<context>
    <name>TestModePage</name>
    <message>
        <source>Test Mode</source>
        <translation>Тестовый режим</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Параметр</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Описание</translation>
    </message>
    <message>
        <source>Test mode</source>
        <translation>Тестовый режим</translation>
    </message>
    <message>
        <source>&lt;p&gt;The test mode is meant for reviewing and correcting the global variables of the calculations: change the values, recalculate the fixture and save the parameters.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Тестовый режим предназначен для просмотра и корректировки глобальных переменных расчёта: измените значения, пересчитайте оснастку и сохраните параметры.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Режим</translation>
    </message>
    <message>
        <source>Which of the low pass and band pass modes the impulse response and the gating use.</source>
        <translation>Какой из режимов, ФНЧ или полосовой, используют импульсная характеристика и стробирование.</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Длина</translation>
    </message>
    <message>
        <source>The electrical length of the fixture: the time of the maximum of the impulse response.</source>
        <translation>Электрическая длина оснастки: момент максимума импульсной характеристики.</translation>
    </message>
    <message>
        <source>4 x Rise time</source>
        <translation>4 x время нарастания</translation>
    </message>
    <message>
        <source>The time-domain filtering works when the fixture is longer than four rise times.</source>
        <translation>Фильтрация во временной области работает, когда оснастка длиннее четырёх времён нарастания.</translation>
    </message>
    <message>
        <source>Rise time</source>
        <translation>Время нарастания</translation>
    </message>
    <message>
        <source>The 10-90 % rise time of the measurement.</source>
        <translation>Время нарастания измерения по уровням 10-90 %.</translation>
    </message>
    <message>
        <source>Coefficient N</source>
        <translation>Коэффициент N</translation>
    </message>
    <message>
        <source>The width of the gating window in rise times; by default 2 in the low pass and 4 in the band pass mode.</source>
        <translation>Ширина окна стробирования во временах нарастания; по умолчанию 2 в режиме ФНЧ и 4 в полосовом режиме.</translation>
    </message>
    <message>
        <source>Coefficient Nrt</source>
        <translation>Коэффициент Nrt</translation>
    </message>
    <message>
        <source>Links the 10-90 % rise time with the maximum frequency of the VNA; 0.89 by default, for a rectangular window.</source>
        <translation>Связывает время нарастания по уровням 10-90 % с максимальной частотой ВАЦ; по умолчанию 0.89 для прямоугольного окна.</translation>
    </message>
    <message>
        <source>Min gate time</source>
        <translation>Мин. время строба</translation>
    </message>
    <message>
        <source>The left edge of the gating window on the negative time axis.</source>
        <translation>Левая граница окна стробирования на отрицательной оси времени.</translation>
    </message>
    <message>
        <source>Low signal center mode, High signal center mode</source>
        <translation>Режим центра слабого сигнала, режим центра сильного сигнала</translation>
    </message>
    <message>
        <source>BASE tunes the centre of the gating window so that the gated signal is periodic in frequency, MEAS so that the measured signal is. MEAS is preferred for weak reflections, BASE for strong ones.</source>
        <translation>BASE подстраивает центр окна стробирования так, чтобы стробированный сигнал был периодичен по частоте, MEAS — так, чтобы периодичен был измеренный сигнал. MEAS предпочтителен для слабых отражений, BASE — для сильных.</translation>
    </message>
    <message>
        <source>Kaiser Beta X</source>
        <translation>Kaiser Beta X</translation>
    </message>
    <message>
        <source>The frequency-domain Kaiser window against truncation; 6 by default.</source>
        <translation>Окно Кайзера в частотной области против эффектов усечения; по умолчанию 6.</translation>
    </message>
    <message>
        <source>Kaiser Beta</source>
        <translation>Kaiser Beta</translation>
    </message>
    <message>
        <source>The shape of the gating window; 0 by default, a rectangular window.</source>
        <translation>Форма окна стробирования; по умолчанию 0, прямоугольное окно.</translation>
    </message>
    <message>
        <source>Step response start</source>
        <translation>Начало переходной характеристики</translation>
    </message>
    <message>
        <source>Half of the negative time axis: the interval over which the constant subtracted from the step response is taken. The impedance profile is then Zref × (1 + SR) / (1 − SR).</source>
        <translation>Половина отрицательной оси времени: интервал, по которому берётся постоянная, вычитаемая из переходной характеристики. Профиль импеданса затем равен Zref × (1 + SR) / (1 − SR).</translation>
    </message>
    <message>
        <source>Set default</source>
        <translation>По умолчанию</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Сохранить</translation>
    </message>
    <message>
        <source>Dir for save the test mode files</source>
        <translation>Папка для сохранения файлов тестового режима</translation>
    </message>
    <message>
        <source>Test mode files (*.ini *.txt *.s*p)</source>
        <translation>Файлы тестового режима (*.ini *.txt *.s*p)</translation>
    </message>
</context>
<context>
    <name>TestModeTableModel</name>
    <message>
        <source>Mode</source>
        <translation>Режим</translation>
    </message>
    <message>
        <source>Low pass: Fstart = Fstep Band pass: Fstart ≠ Fstep</source>
        <translation>ФНЧ: Fstart = Fstep Полосовой: Fstart ≠ Fstep</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Длина</translation>
    </message>
    <message>
        <source>Calculated fixture delay</source>
        <translation>Рассчитанная задержка оснастки</translation>
    </message>
    <message>
        <source>4 x Rise time</source>
        <translation>4 x время нарастания</translation>
    </message>
    <message>
        <source>4 * Nrt / max (F)</source>
        <translation>4 * Nrt / max (F)</translation>
    </message>
    <message>
        <source>Rise time</source>
        <translation>Время нарастания</translation>
    </message>
    <message>
        <source>Nrt / max (F)</source>
        <translation>Nrt / max (F)</translation>
    </message>
    <message>
        <source>Coefficient N</source>
        <translation>Коэффициент N</translation>
    </message>
    <message>
        <source>For gating window width calculation</source>
        <translation>Для расчёта ширины окна стробирования</translation>
    </message>
    <message>
        <source>Coefficient Nrt</source>
        <translation>Коэффициент Nrt</translation>
    </message>
    <message>
        <source>For rise time calculation</source>
        <translation>Для расчёта времени нарастания</translation>
    </message>
    <message>
        <source>Min gate time</source>
        <translation>Мин. время строба</translation>
    </message>
    <message>
        <source>Minus Calculated Fixture Delay </source>
        <translation>Минус рассчитанная задержка оснастки </translation>
    </message>
    <message>
        <source>Low signal center mode</source>
        <translation>Режим центра слабого сигнала</translation>
    </message>
    <message>
        <source>To reduce edge effects</source>
        <translation>Для уменьшения краевых эффектов</translation>
    </message>
    <message>
        <source>High signal center mode</source>
        <translation>Режим центра сильного сигнала</translation>
    </message>
    <message>
        <source>Kaiser Beta X</source>
        <translation>Kaiser Beta X</translation>
    </message>
    <message>
        <source>Windowing to reduce effects of truncation</source>
        <translation>Окно для уменьшения эффектов усечения</translation>
    </message>
    <message>
        <source>Kaiser Beta</source>
        <translation>Kaiser Beta</translation>
    </message>
    <message>
        <source>Gating window</source>
        <translation>Окно стробирования</translation>
    </message>
    <message>
        <source>Step response start</source>
        <translation>Начало переходной характеристики</translation>
    </message>
    <message>
        <source>-0.5 /(F(2)-F(1))</source>
        <translation>-0.5 /(F(2)-F(1))</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Параметр</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Описание</translation>
    </message>
</context>
<context>
    <name>TouchstoneDialog</name>
    <message>
        <source>Open Touchstone File</source>
        <translation>Открыть файл Touchstone</translation>
    </message>
</context>
<context>
    <name>TouchstoneIO</name>
    <message>
        <source>%1, line %2: %3</source>
        <translation>%1, строка %2: %3</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>the name does not end in .s1p to .s9p</source>
        <translation>имя файла не имеет расширения от .s1p до .s9p</translation>
    </message>
    <message>
        <source>cannot open the file (a folder)</source>
        <translation>не удаётся открыть файл (это папка)</translation>
    </message>
    <message>
        <source>cannot open the file (not a regular file)</source>
        <translation>не удаётся открыть файл (это не обычный файл)</translation>
    </message>
    <message>
        <source>cannot open the file (%1)</source>
        <translation>не удаётся открыть файл (%1)</translation>
    </message>
    <message>
        <source>cannot read the file (%1)</source>
        <translation>не удаётся прочитать файл (%1)</translation>
    </message>
    <message>
        <source>a complex reference impedance R %1 is not supported</source>
        <translation>комплексный опорный импеданс R %1 не поддерживается</translation>
    </message>
    <message>
        <source>the reference impedance R %1 is no number</source>
        <translation>опорный импеданс R %1 не является числом</translation>
    </message>
    <message>
        <source>the reference impedance R %1 is not a finite value of at least 0</source>
        <translation>опорный импеданс R %1 не является конечным значением не меньше 0</translation>
    </message>
    <message>
        <source>the option line names R without a value</source>
        <translation>строка параметров содержит R без значения</translation>
    </message>
    <message>
        <source>unknown [Two-Port Data Order] %1</source>
        <translation>неизвестный [Two-Port Data Order] %1</translation>
    </message>
    <message>
        <source>only full matrices are read, not [Matrix Format] %1</source>
        <translation>читаются только полные матрицы, а не [Matrix Format] %1</translation>
    </message>
    <message>
        <source>mixed-mode parameters are not read</source>
        <translation>параметры смешанного режима не читаются</translation>
    </message>
    <message>
        <source>[Number of Frequencies] %1 is no count</source>
        <translation>[Number of Frequencies] %1 не является числом точек</translation>
    </message>
    <message>
        <source>the reference impedance %1 is no number</source>
        <translation>опорный импеданс %1 не является числом</translation>
    </message>
    <message>
        <source>[Reference] holds more than %1 values</source>
        <translation>[Reference] содержит более %1 значений</translation>
    </message>
    <message>
        <source>the reference impedance %1 is not positive</source>
        <translation>опорный импеданс %1 не положителен</translation>
    </message>
    <message>
        <source>an option line inside a point</source>
        <translation>строка параметров внутри точки</translation>
    </message>
    <message>
        <source>%1 is no number</source>
        <translation>%1 не является числом</translation>
    </message>
    <message>
        <source>a %1-port point has %2 values; this line holds more</source>
        <translation>в точке %1-портовых данных должно быть значений: %2; в этой строке их больше</translation>
    </message>
    <message>
        <source>line %1 looked like the start of noise data (five values at a lower frequency), but this line holds %2 values</source>
        <translation>строка %1 похожа на начало шумовых данных (пять значений на более низкой частоте), но число значений в этой строке: %2</translation>
    </message>
    <message>
        <source>the frequency %1 is not finite</source>
        <translation>частота %1 не является конечным числом</translation>
    </message>
    <message>
        <source>the frequency %1 is negative</source>
        <translation>частота %1 отрицательна</translation>
    </message>
    <message>
        <source>the frequency %1 does not rise above the previous %2 (line %3)</source>
        <translation>частота %1 не больше предыдущей %2 (строка %3)</translation>
    </message>
    <message>
        <source>the values do not make one %1 x %1 matrix</source>
        <translation>значения не образуют одну матрицу %1 x %1</translation>
    </message>
    <message>
        <source>a value of the point at %1 is not finite</source>
        <translation>значение точки на частоте %1 не является конечным числом</translation>
    </message>
    <message>
        <source>the Port Impedance line cannot be read at %1</source>
        <translation>не удаётся прочитать строку Port Impedance начиная с %1</translation>
    </message>
    <message>
        <source>the Port Impedance block holds more than %1 values</source>
        <translation>блок Port Impedance содержит более %1 значений</translation>
    </message>
    <message>
        <source>the Port Impedance block holds %1 of %2 values</source>
        <translation>блок Port Impedance содержит %1 из %2 значений</translation>
    </message>
    <message>
        <source>a Port Impedance block inside a point</source>
        <translation>блок Port Impedance внутри точки</translation>
    </message>
    <message>
        <source>a Port Impedance block before the first point</source>
        <translation>блок Port Impedance перед первой точкой</translation>
    </message>
    <message>
        <source>a second Port Impedance block for one point</source>
        <translation>второй блок Port Impedance для одной точки</translation>
    </message>
    <message>
        <source>a point before this Port Impedance block has none</source>
        <translation>у точки перед этим блоком Port Impedance такого блока нет</translation>
    </message>
    <message>
        <source>the port %1 reference impedance %2%3%4j is unusable</source>
        <translation>опорный импеданс порта %1 %2%3%4j непригоден</translation>
    </message>
    <message>
        <source>a complex port %1 reference impedance %2%3%4j is not supported</source>
        <translation>комплексный опорный импеданс порта %1 %2%3%4j не поддерживается</translation>
    </message>
    <message>
        <source>the port impedances vary with frequency and the option line names no reference impedance to refer the data to</source>
        <translation>импедансы портов меняются с частотой, а в строке параметров не указан опорный импеданс, к которому нужно привести данные</translation>
    </message>
    <message>
        <source>the data cannot be referred to %1 ohm</source>
        <translation>данные не удаётся привести к %1 ohm</translation>
    </message>
    <message>
        <source>[Reference] holds %1 of %2 values</source>
        <translation>[Reference] содержит %1 из %2 значений</translation>
    </message>
    <message>
        <source>the file ends inside a point (%1 of %2 values)</source>
        <translation>файл обрывается внутри точки (%1 из %2 значений)</translation>
    </message>
    <message>
        <source>the file ends in the middle of its last number</source>
        <translation>файл обрывается посреди последнего числа</translation>
    </message>
    <message>
        <source>the file holds no data points</source>
        <translation>файл не содержит точек данных</translation>
    </message>
    <message>
        <source>%1-parameters are not read, only S-parameters</source>
        <translation>%1-параметры не читаются, только S-параметры</translation>
    </message>
    <message>
        <source>[Number of Frequencies] declares %1 points, the file holds %2</source>
        <translation>[Number of Frequencies] объявляет число точек %1, а в файле их %2</translation>
    </message>
    <message>
        <source>%1 of %2 points have a Port Impedance block</source>
        <translation>блок Port Impedance есть у %1 из %2 точек</translation>
    </message>
    <message>
        <source>both [Reference] and Port Impedance blocks name the impedances</source>
        <translation>импедансы заданы и в [Reference], и в блоках Port Impedance</translation>
    </message>
    <message>
        <source>[Number of Ports] %1 is no count</source>
        <translation>[Number of Ports] %1 не является числом портов</translation>
    </message>
    <message>
        <source>[Number of Ports] declares %1 ports, the file name says %2</source>
        <translation>[Number of Ports] объявляет число портов %1, а имя файла — %2</translation>
    </message>
    <message>
        <source>the Port Impedance matrix couples ports %1 and %2 (%3%4%5j); coupled reference impedances are not supported</source>
        <translation>матрица Port Impedance связывает порты %1 и %2 (%3%4%5j); связанные опорные импедансы не поддерживаются</translation>
    </message>
    <message>
        <source>the frequency of point %1 is not a finite number</source>
        <translation>частота точки %1 не является конечным числом</translation>
    </message>
    <message>
        <source>S%1%2%3 at %4 Hz is not a finite number</source>
        <translation>S%1%2%3 на частоте %4 Hz не является конечным числом</translation>
    </message>
    <message>
        <source>the frequency of point %1 is negative</source>
        <translation>частота точки %1 отрицательна</translation>
    </message>
    <message>
        <source>the frequency of point %1 does not rise above the one before it</source>
        <translation>частота точки %1 не больше частоты предыдущей точки</translation>
    </message>
    <message>
        <source>the file holds more than %1 points, more than the program reads</source>
        <translation>в файле больше %1 точек — больше, чем читает программа</translation>
    </message>
    <message>
        <source>the file ends without [End], in the middle of a number</source>
        <translation>файл обрывается без [End], посреди числа</translation>
    </message>
    <message>
        <source>the line is longer than %1 bytes, which no Touchstone line is (it starts %2)</source>
        <translation>строка длиннее %1 байт, а строки Touchstone такими не бывают (она начинается с %2)</translation>
    </message>
    <message>
        <source>not enough memory to read the file</source>
        <translation>не хватает памяти, чтобы прочитать файл</translation>
    </message>
</context>
<context>
    <name>TransmissionMeasurer</name>
    <message>
        <source>Check data</source>
        <translation>Проверка данных</translation>
    </message>
    <message>
        <source>Read freqs</source>
        <translation>Чтение частот</translation>
    </message>
    <message>
        <source>Check configuration</source>
        <translation>Проверка конфигурации</translation>
    </message>
    <message>
        <source>Setup measure data</source>
        <translation>Подготовка данных измерения</translation>
    </message>
    <message>
        <source>Read SParameters</source>
        <translation>Чтение S-параметров</translation>
    </message>
    <message>
        <source>Execute algorithm</source>
        <translation>Выполнение алгоритма</translation>
    </message>
    <message>
        <source>Error </source>
        <translation>Ошибка </translation>
    </message>
    <message>
        <source>No fixtures are connected to the analyser for this measurement</source>
        <translation>Для этого измерения к анализатору не подключена оснастка</translation>
    </message>
    <message>
        <source>No fixture port is connected to an analyser port</source>
        <translation>Ни один порт оснастки не подключён к порту анализатора</translation>
    </message>
    <message>
        <source>The two fixtures are connected to different numbers of analyser ports (%1 and %2)</source>
        <translation>Две оснастки подключены к разному числу портов анализатора (%1 и %2)</translation>
    </message>
</context>
<context>
    <name>TransmissionStep</name>
    <message>
        <source>2xThrough method</source>
        <translation>Метод 2xThrough</translation>
    </message>
    <message>
        <source>Thru</source>
        <translation>Thru</translation>
    </message>
    <message>
        <source>Measure</source>
        <translation>Измерить</translation>
    </message>
    <message>
        <source>Recall</source>
        <translation>Загрузить</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>ХХ</translation>
    </message>
    <message>
        <source>Short</source>
        <translation>КЗ</translation>
    </message>
    <message>
        <source>Delete data</source>
        <translation>Удалить данные</translation>
    </message>
    <message>
        <source>ps</source>
        <translation>ps</translation>
    </message>
    <message>
        <source>Edit characterization</source>
        <translation>Изменить характеризацию</translation>
    </message>
    <message>
        <source>zip containers size are not equal</source>
        <translation>размеры объединяемых контейнеров не совпадают</translation>
    </message>
    <message>
        <source>Transmission offset</source>
        <translation>Смещение по передаче</translation>
    </message>
    <message>
        <source>Applying offset</source>
        <translation>Применение смещения</translation>
    </message>
    <message>
        <source>Check measure data</source>
        <translation>Проверка данных измерения</translation>
    </message>
    <message>
        <source>Fixture is not measured</source>
        <translation>Оснастка не измерена</translation>
    </message>
    <message>
        <source>Transmission Short</source>
        <translation>Передача КЗ</translation>
    </message>
    <message>
        <source>Transmission Open</source>
        <translation>Передача ХХ</translation>
    </message>
    <message>
        <source>Calculate reflect offset</source>
        <translation>Расчёт смещения по отражениям</translation>
    </message>
    <message>
        <source>Calculation error. Left side fixture data is empty</source>
        <translation>Ошибка расчёта. Нет данных оснастки левой стороны</translation>
    </message>
    <message>
        <source>Calculation error. Right side fixture data is empty</source>
        <translation>Ошибка расчёта. Нет данных оснастки правой стороны</translation>
    </message>
    <message>
        <source>Calculation error. Fixture data is empty</source>
        <translation>Ошибка расчёта. Нет данных оснастки</translation>
    </message>
    <message>
        <source>Calculation error. Check fixture configuration and measured data for validity.</source>
        <translation>Ошибка расчёта. Проверьте конфигурацию оснастки и достоверность измеренных данных.</translation>
    </message>
    <message>
        <source>Transmission</source>
        <translation>Передача</translation>
    </message>
    <message>
        <source>Apply fixture 
%1 / %2
calibration plane offset</source>
        <translation>Применить смещение
плоскости калибровки
оснастки %1 / %2</translation>
    </message>
    <message>
        <source>Apply fixture 
%1/%2
calibration plane offset
using reflects, ps</source>
        <translation>Применить смещение
плоскости калибровки
оснастки %1/%2
по отражениям, ps</translation>
    </message>
</context>
<context>
    <name>VukAlgorithmsSetup</name>
    <message>
        <source>The analyser now has %1 ports: the analyser ports of the fixtures were assigned anew</source>
        <translation>Число портов анализатора теперь %1: порты анализатора для оснастки назначены заново</translation>
    </message>
</context>
<context>
    <name>VukChartTab</name>
    <message>
        <source>Reference markers</source>
        <translation>Опорные маркеры</translation>
    </message>
    <message>
        <source>Movable reference markers</source>
        <translation>Подвижные опорные маркеры</translation>
    </message>
    <message>
        <source>User markers</source>
        <translation>Маркеры пользователя</translation>
    </message>
    <message>
        <source>Show user markers</source>
        <translation>Показать маркеры пользователя</translation>
    </message>
    <message>
        <source>Set default offset</source>
        <translation>Смещение по умолчанию</translation>
    </message>
    <message>
        <source>Auto Scale</source>
        <translation>Автомасштаб</translation>
    </message>
</context>
<context>
    <name>VukHelpPageGroup</name>
    <message>
        <source>Vukelan</source>
        <translation>Vukelan</translation>
    </message>
</context>
<context>
    <name>VukMeasureCheckmark</name>
    <message>
        <source>Refer to the notification panel for details</source>
        <translation>Подробности на панели уведомлений</translation>
    </message>
</context>
<context>
    <name>VukMessageDialog</name>
    <message>
        <source>Discard</source>
        <translation>Отменить</translation>
    </message>
    <message>
        <source>Accept</source>
        <translation>Принять</translation>
    </message>
</context>
<context>
    <name>VukStepsPage</name>
    <message>
        <source>Description</source>
        <translation>Описание</translation>
    </message>
    <message>
        <source>Fixture connection</source>
        <translation>Подключение оснастки</translation>
    </message>
    <message>
        <source>Fixture measurement</source>
        <translation>Измерение оснастки</translation>
    </message>
    <message>
        <source>fixture measurements</source>
        <translation>измерениям оснастки</translation>
    </message>
    <message>
        <source>main application</source>
        <translation>основному приложению</translation>
    </message>
</context>
<context>
    <name>VukVNAFixtureConnection</name>
    <message>
        <source>&lt;p align=justify&gt;It is necessary to reassign the ports. This fixture cannot be connected to the VNA.&lt;/p&gt;</source>
        <translation>&lt;p align=justify&gt;Необходимо переназначить порты. Эту оснастку нельзя подключить к ВАЦ.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>VNA port</source>
        <translation>Порт ВАЦ</translation>
    </message>
</context>
<context>
    <name>VukVnaTable</name>
    <message>
        <source>---</source>
        <translation>---</translation>
    </message>
</context>
<context>
    <name>VukWarning</name>
    <message>
        <source>Correct</source>
        <translation>Норма</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Предупреждение</translation>
    </message>
    <message>
        <source>Critical error</source>
        <translation>Критическая ошибка</translation>
    </message>
    <message>
        <source>Tooltip</source>
        <translation>Подсказка</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>VNA NOT CONNECTED</source>
        <translation>ВАЦ НЕ ПОДКЛЮЧЁН</translation>
    </message>
    <message>
        <source>VNA CONNECTED NOT READY</source>
        <translation>ВАЦ ПОДКЛЮЧЁН, НЕ ГОТОВ</translation>
    </message>
    <message>
        <source>Quentaro Vukelan</source>
        <translation>Quentaro Vukelan</translation>
    </message>
    <message>
        <source>Waiting for VNA</source>
        <translation>Ожидание ВАЦ</translation>
    </message>
    <message>
        <source>
1. Make sure that VNA sofware is launched.

2. Make sure that the Socket Server of VNA software is On:
System -&gt; Misc Setup -&gt; Network Remote Control Settings -&gt; Socket Server ON

3. During measurement with the sweep time exceeding 30 seconds per sweep:
A) Make sure that VNA software is still running at the given settings.
B) Wait for VNA software to collect all the required data and update traces.

Note that the Sweep Progress Field of VNA software, located in the Channel Status Bar,
displays a progress bar when the channel data is being updated.
If the Sweep Progress Field freezes, wait for a minute and re-start VNA software.

To display Sweep Time in the instrument status bar:
Display -&gt; Properties -&gt; Cycle Time ON
</source>
        <translation>
1. Убедитесь, что ПО ВАЦ запущено.

2. Убедитесь, что в ПО ВАЦ включён сокет-сервер:
System -&gt; Misc Setup -&gt; Network Remote Control Settings -&gt; Socket Server ON

3. При измерениях со временем развёртки более 30 секунд:
A) Убедитесь, что ПО ВАЦ продолжает работать с заданными настройками.
B) Дождитесь, пока ПО ВАЦ соберёт все необходимые данные и обновит графики.

Поле хода развёртки (Sweep Progress Field) ПО ВАЦ в строке состояния канала
показывает индикатор выполнения, пока данные канала обновляются.
Если поле хода развёртки зависло, подождите минуту и перезапустите ПО ВАЦ.

Чтобы показать время развёртки в строке состояния прибора:
Display -&gt; Properties -&gt; Cycle Time ON
</translation>
    </message>
    <message>
        <source>Measurements are executing</source>
        <translation>Выполняются измерения</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>No new notifications</source>
        <translation>Нет новых уведомлений</translation>
    </message>
    <message>
        <source>Clear all notifications</source>
        <translation>Очистить все уведомления</translation>
    </message>
    <message>
        <source>BACK</source>
        <translation>НАЗАД</translation>
    </message>
    <message>
        <source>NEXT</source>
        <translation>ДАЛЕЕ</translation>
    </message>
    <message>
        <source>The VUK faces a problem, please restart application or contact your Administrator.</source>
        <translation>VUK столкнулся с проблемой. Перезапустите приложение или обратитесь к администратору.</translation>
    </message>
</context>
</TS>
