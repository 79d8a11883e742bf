#!/usr/bin/env python3
"""Reference new moons and moonrises from an independent ephemeris (PyEphem).

Prints, for one year, one line per event in universal time as Unix seconds:
    NEWMOON <seconds>
    RISE <site> <seconds>
Exits with status 77 when PyEphem is not installed, so the test can skip.
"""
import sys

try:
    import ephem
except ImportError:
    sys.exit(77)

YEAR = int(sys.argv[1]) if len(sys.argv) > 1 else 2024
SITES = {
    "moscow": ("55.75", "37.5833"),
    "novosibirsk": ("55.0333", "82.9167"),
    "buenos_aires": ("-34.6", "-58.45"),
}
UNIX_EPOCH = ephem.Date("1970/1/1 00:00:00")


def unix_seconds(d):
    return round((float(d) - float(UNIX_EPOCH)) * 86400.0, 1)


start = ephem.Date("%d/1/1 00:00:00" % YEAR)
end = ephem.Date("%d/1/1 00:00:00" % (YEAR + 1))

d = ephem.next_new_moon(start - 30)
while d < end + 30:
    print("NEWMOON", unix_seconds(d))
    d = ephem.next_new_moon(d + 1)

for name, (lat, lon) in SITES.items():
    obs = ephem.Observer()
    obs.lat, obs.lon = lat, lon
    obs.elevation = 0
    obs.horizon = "0"  # upper limb on the horizon, with the default refraction
    obs.date = start - 1
    moon = ephem.Moon()
    while True:
        t = obs.next_rising(moon)
        if t > end + 1:
            break
        print("RISE", name, unix_seconds(t))
        obs.date = t + ephem.minute
