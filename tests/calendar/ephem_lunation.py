#!/usr/bin/python3
"""Independent reference for lunar-day boundaries, from PyEphem.

Usage: ephem_lunation.py LAT LON MOMENT...
LAT, LON in decimal degrees (north and east positive); each MOMENT is a universal time as days
since 1899-12-30 00:00. For each moment prints one line: the new moon at or before it, the
moonrises after that new moon and before the next one, and the next new moon, all universal time
in the same day count.
"""
import sys

import ephem

# ephem.Date counts days from 1899-12-31 12:00.
OFFSET = 1.5


def main():
    lat, lon = float(sys.argv[1]), float(sys.argv[2])
    obs = ephem.Observer()
    obs.lat, obs.lon = str(lat), str(lon)
    obs.elevation = 0
    moon = ephem.Moon()
    for arg in sys.argv[3:]:
        moment = ephem.Date(float(arg) - OFFSET)
        last = ephem.previous_new_moon(ephem.Date(moment + 1e-9))
        following = ephem.next_new_moon(ephem.Date(moment + 1e-9))
        out = [last]
        obs.date = last
        while True:
            try:
                rise = obs.next_rising(moon)
            except (ephem.AlwaysUpError, ephem.NeverUpError):
                obs.date = ephem.Date(obs.date + 1)
                continue
            if rise >= following:
                break
            out.append(rise)
            obs.date = ephem.Date(rise + 1e-4)
        out.append(following)
        print(" ".join("%.8f" % (float(d) + OFFSET) for d in out))


if __name__ == "__main__":
    main()
