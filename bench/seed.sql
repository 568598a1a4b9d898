-- 2,000,000 calls over the 90 days ending today. Extension 2000 has 20,000 calls today (the
-- searched day); extension 3000 has 100,000 calls yesterday (for the memory figure); extension
-- 4000 placed 1,000,000 calls today (the largest day a search may have to list).
SELECT setseed(0.7) \gset
INSERT INTO public.calldetails (callid) SELECT 'c' || n FROM generate_series(1, 10) n;
INSERT INTO public.dnallocation (value, kind) VALUES ('2000', 1), ('3000', 1), ('4000', 1);
INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime)
SELECT CASE WHEN n % 2 = 0 THEN '2000' ELSE (5550000000 + n)::text END,
       CASE WHEN n % 2 = 0 THEN (5550000000 + n)::text ELSE '2000' END,
       make_interval(secs => 30 + floor(random() * 600)),
       current_date + make_interval(secs => floor(random() * 86000))
FROM generate_series(1, 20000) n;
INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime)
SELECT '3000', (5560000000 + n)::text, make_interval(secs => 30 + floor(random() * 300)),
       current_date - 1 + make_interval(secs => floor(random() * 86000))
FROM generate_series(1, 100000) n;
INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime)
SELECT (100 + floor(random() * 60))::text, (5570000000 + floor(random() * 5000))::bigint::text,
       make_interval(secs => floor(random() * 900)),
       current_date - floor(random() * 90)::int + make_interval(secs => floor(random() * 86000))
FROM generate_series(1, 880000) n;
INSERT INTO public.callhistory2 (from_no, to_no, dur, starttime)
SELECT '4000', (5580000000 + n)::text, make_interval(secs => 30 + floor(random() * 600)),
       current_date + make_interval(secs => floor(random() * 86000))
FROM generate_series(1, 1000000) n;
ANALYZE public.callhistory2;
