"""Touchstone files through scikit-rf, for the interoperability test.

    skrf_interop.py read OUT.json FILE...   load each FILE with scikit-rf and
                                            store its values in OUT.json
    skrf_interop.py write DIR               write sample files into DIR and the
                                            exact values written into
                                            DIR/expected.json

Values are stored per file as {"ports", "f" (Hz), "re", "im" (the S-matrices
point by point, row by row), "z0" (per point and port)}.
Exit code 3 when scikit-rf cannot be imported.
"""

import json
import os
import sys
import warnings

try:
    import numpy as np
    import skrf
except ImportError as error:  # reported to the test, which skips
    print("scikit-rf unavailable: %s" % error, file=sys.stderr)
    sys.exit(3)


def values_of(network):
    return {
        "ports": int(network.nports),
        "f": network.f.tolist(),
        "re": network.s.real.ravel().tolist(),
        "im": network.s.imag.ravel().tolist(),
        "z0": network.z0.real.ravel().tolist(),
    }


def read(out_path, files):
    result = {}
    for path in files:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            network = skrf.Network(path)
        result[os.path.basename(path)] = values_of(network)
    with open(out_path, "w") as out:
        json.dump(result, out)


# name, ports, format, frequency unit, frequencies in that unit, z0
SAMPLES = [
    ("skrf_ri_ghz", 1, "ri", "ghz", [0.5, 1.0, 2.25, 4.0], 50.0),
    ("skrf_ma_mhz", 2, "ma", "mhz", [10.0, 20.0, 30.5], 75.0),
    ("skrf_db_khz", 2, "db", "khz", [1.0, 1.5, 2.0, 1000.0], 50.0),
    ("skrf_ma_ghz", 3, "ma", "ghz", [1.0, 2.0], 50.0),
    ("skrf_ri_hz", 4, "ri", "hz", [100.0, 200.0, 300.0], 50.0),
]


def write(directory):
    rng = np.random.RandomState(20240607)
    expected = {}
    for name, ports, form, unit, frequencies, z0 in SAMPLES:
        count = len(frequencies)
        magnitude = rng.uniform(0.01, 1.5, (count, ports, ports))
        phase = rng.uniform(-np.pi, np.pi, (count, ports, ports))
        s = magnitude * np.exp(1j * phase)
        frequency = skrf.Frequency.from_f(frequencies, unit=unit)
        network = skrf.Network(frequency=frequency, s=s, z0=z0)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            network.write_touchstone(name, dir=directory, form=form)
        expected["%s.s%dp" % (name, ports)] = values_of(network)
    with open(os.path.join(directory, "expected.json"), "w") as out:
        json.dump(expected, out)


def main(argv):
    if len(argv) >= 3 and argv[1] == "read":
        read(argv[2], argv[3:])
    elif len(argv) == 3 and argv[1] == "write":
        write(argv[2])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
