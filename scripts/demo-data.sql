-- Demo data for a small office: 60 extensions, a few thousand outside numbers and a busy week of
-- calls, the seven days before today, so that every call has ended before the data is loaded.
-- Most calls come in office hours, with a morning and an afternoon peak and a lull at lunch; a
-- few are long and a few run past midnight.
SELECT setseed(0.42) \gset

INSERT INTO public.dnallocation (value, kind)
SELECT (100 + n)::text, 1 FROM generate_series(0, 59) AS n;
-- Queues and ring groups are allocated too, under other kinds.
INSERT INTO public.dnallocation (value, kind)
SELECT (800 + n)::text, 2 + n % 3 FROM generate_series(0, 9) AS n;

CREATE TEMP TABLE outside_numbers AS
SELECT n AS idx,
       (200 + floor(random() * 800))::bigint::text ||
       lpad(floor(random() * 10000000)::bigint::text, 7, '0') AS number
FROM generate_series(0, 2999) AS n;

CREATE TEMP TABLE demo_calls AS
WITH days AS (
    SELECT d::date AS day,
           CASE WHEN extract(isodow FROM d) >= 6 THEN 120 ELSE 900 END AS calls
    FROM generate_series(current_date - 7, current_date - 1, interval '1 day') AS d
), slots AS (
    SELECT day, generate_series(1, calls) AS k FROM days
)
SELECT day,
       -- Office hours carry most calls, around 10:30 and 14:30; the rest spread over the day.
       CASE WHEN random() < 0.96
            THEN floor((CASE WHEN random() < 0.55 THEN 10.5 ELSE 14.5 END) * 3600 +
                       (random() + random() + random() - 1.5) * 5400)
            ELSE floor(random() * 86400)
       END AS start_second,
       CASE WHEN random() < 0.01 THEN 3600 + floor(random() * 5400)
            ELSE floor(-ln(1 - random() * 0.999) * 180)
       END AS seconds,
       floor(random() * 3)::int AS kind,
       floor(random() * 60)::int AS ext_a,
       floor(random() * 60)::int AS ext_b,
       floor(random() * 3000)::int AS outside
FROM slots;

-- A few calls each day start late in the evening and run past midnight.
INSERT INTO demo_calls
SELECT day, 23 * 3600 + 1800 + floor(random() * 1700), 1800 + floor(random() * 3600), 1,
       floor(random() * 60)::int, 0, floor(random() * 3000)::int
FROM generate_series(current_date - 7, current_date - 1, interval '1 day') AS day, generate_series(1, 2);

INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime)
SELECT CASE c.kind WHEN 0 THEN (100 + c.ext_a)::text
                   WHEN 1 THEN (100 + c.ext_a)::text
                   ELSE o.number END,
       CASE c.kind WHEN 0 THEN (100 + (c.ext_a + 1 + c.ext_b % 59) % 60)::text
                   WHEN 1 THEN o.number
                   ELSE (100 + c.ext_b)::text END,
       make_interval(secs => c.seconds),
       c.day + make_interval(secs => c.start_second)
FROM demo_calls c JOIN outside_numbers o ON o.idx = c.outside
-- Loaded just after midnight, a late call of yesterday might still be going on.
WHERE c.day + make_interval(secs => c.start_second + c.seconds) < localtimestamp;

INSERT INTO public.calldetails (callid, info)
SELECT 'call-' || n, 'demo' FROM generate_series(1, 100) AS n;

ANALYZE;
